// The two rules that turn an address from the settings file into a local file name: the
// advertising cache name (UrlToFileName) and the installer's name (InstallerFileName). Whatever
// the address, the result is a plain name: no separator, never "." or "..", never empty, so
// nothing is written outside the data folder and no folder is taken for a file.
//
// The input is read twice: as UTF-8 text, and as raw UTF-16 code units (lone surrogates and
// NULs included), which is what a QString can hold.
#include <cstdint>
#include <cstring>

#include "Ads.h"
#include "FuzzSupport.h"
#include "Update.h"

namespace {

void CheckPlainName(const char* what, const QString& url, const QString& name) {
  if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/'))
    fuzz::Fail(what, QStringLiteral("\"%1\" gives the unsafe name \"%2\"").arg(url, name));
}

void CheckAddress(const QString& url) {
  if (!url.isEmpty()) CheckPlainName("UrlToFileName", url, UrlToFileName(url));
  CheckPlainName("InstallerFileName", url, InstallerFileName(url));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckAddress(
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  QString units(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
  if (!units.isEmpty()) std::memcpy(units.data(), data, size / 2 * 2);
  CheckAddress(units);
  return 0;
}
