// The settings text as it comes from the server (every byte one character of the code page):
// TVirtualIniFile, the values the program takes from it, the update decision, the installer's
// file name and the seven advertising slots with their cache file names.
//
// The slots start their downloads as in the program. No request may leave this machine: every
// address is sent through a proxy on 127.0.0.1 that is not there, so each download fails at
// once (fuzz/run also runs this target in a network namespace of its own where it can).
#include <cstdint>
#include <cstdlib>

#include <QDir>
#include <QFileInfo>

#include "Ads.h"
#include "FuzzSupport.h"
#include "Http.h"
#include "RemoteSettings.h"
#include "Update.h"
#include "VirtualIniFile.h"

namespace {

// A cache or installer name must stay a plain name inside its folder.
void CheckPlainName(const char* what, const QString& name) {
  if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/'))
    fuzz::Fail(what, QStringLiteral("unsafe file name \"%1\"").arg(name));
}

void CheckInFolder(const char* what, const QString& folder, const QString& file) {
  CheckPlainName(what, QFileInfo(file).fileName());
  if (QFileInfo(file).absolutePath() + u'/' != folder)
    fuzz::Fail(what, QStringLiteral("\"%1\" is not inside \"%2\"").arg(file, folder));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietQt();
  // Case matters to libcurl: http_proxy is only read in lower case.
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
    setenv(name, "http://127.0.0.1:1", 1);
  unsetenv("no_proxy");
  unsetenv("NO_PROXY");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString cache = fuzz::PrivateFolder("cache");
  const QString text =
      BytesToText(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  const TVirtualIniFile ini(text);
  const TRemoteSettings settings = ReadRemoteSettings(ini);
  (void)DecideUpdate(settings, QStringLiteral("1.0.0.1"), true);
  CheckPlainName("InstallerFileName", InstallerFileName(settings.UpdateUrl));
  {
    TWebLinks links(kAdsSlotCount, cache);
    LoadLinks(links, ini);
    for (int32_t i = 0; i < links.Count(); ++i) {
      const TLinkInfo& slot = links[i];
      if (!slot.Url1.isEmpty()) CheckInFolder("UrlToFileName", cache, slot.BigFile);
      if (!slot.Url2.isEmpty()) CheckInFolder("UrlToFileName", cache, slot.SmallFile);
    }
    // The slots are destroyed with their downloads stopped and joined.
  }
  fuzz::ExpectEmptyFolder(cache);
  return 0;
}
