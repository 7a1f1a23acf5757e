#pragma once
// TVirtualIniFile: an ini text held in memory, as the settings file comes from the server.
//
// Lines end at CR LF, CR or LF. A line "[name]" starts a section; "key=value" lines belong to the
// section above them (the value is everything after the first "="). Names of sections and keys
// are compared without regard to case, blanks around names and values are ignored, lines
// starting with ";" are comments, and lines before the first section are ignored. When a
// section or a key appears twice, the first one counts. Nothing is ever written back.
#include <cstdint>
#include <utility>
#include <vector>

#include <QString>

class TVirtualIniFile {
 public:
  explicit TVirtualIniFile(const QString& text);

  // The nominal file name of the in-memory text.
  QString FileName() const { return QStringLiteral("none.ini"); }

  QString ReadString(const QString& section, const QString& key, const QString& def) const;
  // Decimal, or hexadecimal after "0x"; a value that is no valid integer gives `def`.
  int32_t ReadInteger(const QString& section, const QString& key, int32_t def) const;

 private:
  struct TSection {
    QString Name;
    std::vector<std::pair<QString, QString>> Values;
  };
  const TSection* FindSection(const QString& name) const;
  std::vector<TSection> Sections;
};

// The integer rule of the settings file: optional sign and decimal digits within 32 bits, or
// "0x"/"0X" and up to eight hexadecimal digits (taken as the 32-bit pattern, so 0xFFFFFFFF is
// -1). Returns false for anything else, the empty text included.
bool ParseIniInteger(const QString& text, int32_t& value);
