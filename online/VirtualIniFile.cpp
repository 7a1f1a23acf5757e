#include "VirtualIniFile.h"

#include <QRegularExpression>

TVirtualIniFile::TVirtualIniFile(const QString& text) {
  static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
  TSection* current = nullptr;
  for (const QString& raw : text.split(lineEnd)) {
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(u';')) continue;
    if (line.startsWith(u'[') && line.endsWith(u']') && line.size() >= 2) {
      Sections.push_back({line.mid(1, line.size() - 2).trimmed(), {}});
      current = &Sections.back();
      continue;
    }
    if (!current) continue;
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0) continue;
    current->Values.emplace_back(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
  }
}

const TVirtualIniFile::TSection* TVirtualIniFile::FindSection(const QString& name) const {
  for (const TSection& s : Sections)
    if (s.Name.compare(name, Qt::CaseInsensitive) == 0) return &s;
  return nullptr;
}

QString TVirtualIniFile::ReadString(const QString& section, const QString& key,
                                    const QString& def) const {
  const TSection* s = FindSection(section);
  if (!s) return def;
  for (const auto& [name, value] : s->Values)
    if (name.compare(key, Qt::CaseInsensitive) == 0) return value;
  return def;
}

int32_t TVirtualIniFile::ReadInteger(const QString& section, const QString& key,
                                     int32_t def) const {
  int32_t value = 0;
  return ParseIniInteger(ReadString(section, key, QString()), value) ? value : def;
}

bool ParseIniInteger(const QString& text, int32_t& value) {
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    if (text.size() > 10) return false;
    uint32_t bits = 0;
    for (qsizetype i = 2; i < text.size(); ++i) {
      const char16_t c = text[i].unicode();
      int digit = -1;
      if (c >= u'0' && c <= u'9')
        digit = c - u'0';
      else if (c >= u'a' && c <= u'f')
        digit = c - u'a' + 10;
      else if (c >= u'A' && c <= u'F')
        digit = c - u'A' + 10;
      if (digit < 0) return false;
      bits = bits * 16 + uint32_t(digit);
    }
    value = int32_t(bits);
    return true;
  }
  qsizetype i = (text.startsWith(u'+') || text.startsWith(u'-')) ? 1 : 0;
  if (i >= text.size()) return false;
  for (qsizetype k = i; k < text.size(); ++k)
    if (text[k] < u'0' || text[k] > u'9') return false;
  bool ok = false;
  const int32_t v = text.toInt(&ok, 10);
  if (ok) value = v;
  return ok;
}
