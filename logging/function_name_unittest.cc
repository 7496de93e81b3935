#include "logging/function_name.h"

#include <string>

#include "gtest/gtest.h"

namespace broupdater {
namespace {

std::string Format(std::string_view pretty) {
  std::string out;
  internal::FunctionNameParts parts = internal::SplitPrettyFunction(pretty);
  if (parts.is_virtual)
    out += "virtual ";
  std::string name(parts.name);
  size_t pos;
  while ((pos = name.find("{anonymous}")) != std::string::npos)
    name.replace(pos, 11, "(anonymous namespace)");
  return out + name;
}

struct Sample {
  virtual ~Sample() = default;
  virtual const char* Virtual() const { return LITE_FUNCTION_NAME; }
  static const char* Static() { return LITE_FUNCTION_NAME; }
  template <typename T>
  const char* Template(T) {
    return LITE_FUNCTION_NAME;
  }
  Sample() : constructed_in(LITE_FUNCTION_NAME) {}
  const char* constructed_in;
};

const char* InAnonymousNamespace(int, const std::string&) {
  return LITE_FUNCTION_NAME;
}

}  // namespace

std::wstring NamespaceFunction() {
  std::string name = LITE_FUNCTION_NAME;
  return std::wstring(name.begin(), name.end());
}

TEST(FunctionNameTest, MacroProducesLogForm) {
  Sample sample;
  EXPECT_STREQ("virtual broupdater::(anonymous namespace)::Sample::Virtual",
               sample.Virtual());
  EXPECT_STREQ("broupdater::(anonymous namespace)::Sample::Static",
               Sample::Static());
  EXPECT_STREQ("broupdater::(anonymous namespace)::Sample::Template",
               sample.Template(2.5));
  EXPECT_STREQ("broupdater::(anonymous namespace)::Sample::Sample",
               sample.constructed_in);
  EXPECT_STREQ("broupdater::(anonymous namespace)::InAnonymousNamespace",
               InAnonymousNamespace(1, "x"));
  EXPECT_EQ(L"broupdater::NamespaceFunction", NamespaceFunction());
}

TEST(FunctionNameTest, ParsesUnusualSignatures) {
  EXPECT_EQ("wWinMain",
            Format("int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)"));
  EXPECT_EQ("virtual Installer::Download",
            Format("virtual bool Installer::Download(const std::wstring&)"));
  // Return types and names with template arguments containing blanks.
  EXPECT_EQ("Cache<int, int>::Get",
            Format("std::map<int, std::basic_string<char> > Cache<int, "
                   "int>::Get(int) const"));
  EXPECT_EQ("Holder::operator()", Format("void Holder::operator()(int)"));
  // Never empty or out of bounds on odd input.
  EXPECT_EQ("x", Format("x"));
  EXPECT_EQ("", Format(""));
  EXPECT_EQ("f(((", Format("int f((("));
}

}  // namespace broupdater
