#pragma once
// The vendor's web site: one place for the host that the export caption, the margin texts,
// the About tab and the online services share.
#include <QString>
#include <QtGlobal>

#include "Version.h"

namespace tavrolin {

// Host (optionally with ":port") of the vendor's web site; TAVROLIN_SITE overrides the build
// default.
inline QString SiteHost() {
  const QByteArray env = qgetenv("TAVROLIN_SITE");
  return env.isEmpty() ? QStringLiteral(TAVROLIN_SITE_DEFAULT) : QString::fromUtf8(env);
}

// The site's root address as users see it: "http://" + host.
inline QString SiteAddress() { return QStringLiteral("http://") + SiteHost(); }

// The program version compiled in from the build, e.g. "1.0.0.1".
inline QString ProgramVersion() { return QStringLiteral(TAVROLIN_VERSION); }

}  // namespace tavrolin
