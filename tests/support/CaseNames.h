#pragma once
// Names of parameterised test cases, for the name generators of INSTANTIATE_TEST_SUITE_P: the
// parts are joined as they are, a number in digits and a negative one as "Minus7", and every
// character that may not stand in a test name becomes '_'. A case is then named in its own words,
// the same in every run, never by the bytes of its parameter.
#include <cctype>
#include <initializer_list>
#include <string>

class TNamePart {
 public:
  TNamePart(const char* text) : Text(text) {}
  TNamePart(std::string text) : Text(std::move(text)) {}
  TNamePart(long long number)
      : Text(number < 0 ? "Minus" + std::to_string(-number) : std::to_string(number)) {}
  TNamePart(int number) : TNamePart(static_cast<long long>(number)) {}

  std::string Text;
};

inline std::string CaseName(std::initializer_list<TNamePart> parts) {
  std::string name;
  for (const TNamePart& part : parts) name += part.Text;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}
