#include "ArticleTestSupport.h"

#include "articleview/ZPHArticleTheme.h"
#include "platform/ZPHUserDefaults.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QDir>
#include <QtCore/QFile>

#include <gtest/gtest.h>

namespace {

class ArticleThemeTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    folder = QDir(temp.path()).filePath(QStringLiteral("Paper.theme"));
    ASSERT_TRUE(QDir().mkpath(folder));
  }
  void write(const QString& name, const QByteArray& bytes)
  {
    QFile file(QDir(folder).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  ZPHTestTempDir temp;
  ZPHUserDefaults defaults{temp.filePath(QStringLiteral("defaults.conf"))};
  QString folder;
};

TEST_F(ArticleThemeTest, ReadsItsFolder)
{
  write(QStringLiteral("Info.json"), R"({"ZPHSubthemeStylesheetsKey": ["light.css", "night.sky.css"]})");
  ZPHArticleTheme theme(folder, &defaults);
  EXPECT_EQ(text(theme.nameForDisplay()), "Paper");
  EXPECT_EQ(theme.cssFilePath(), folder + QStringLiteral("/stylesheet.css"));
  EXPECT_EQ(theme.subthemeCount(), 2);
  EXPECT_EQ(theme.CSSFilePathForSubthemeIndex(1), folder + QStringLiteral("/night.sky.css"));
  EXPECT_TRUE(theme.CSSFilePathForSubthemeIndex(2).isNull());
  EXPECT_TRUE(theme.CSSFilePathForSubthemeIndex(-1).isNull());

  EXPECT_EQ(text(theme.activeSubthemeName()), "light") << "index 0 when none is stored";
  defaults.setInteger(ZPHSubthemeStyleIndexKey, 1);
  EXPECT_EQ(text(theme.activeSubthemeName()), "night.sky");
  // An index past the list, or below it, is no sub-theme at all.
  for (qint64 index : {2, 7, -1}) {
    defaults.setInteger(ZPHSubthemeStyleIndexKey, index);
    EXPECT_EQ(text(theme.activeSubthemeName()), "") << index;
    EXPECT_TRUE(theme.activeSubthemeStylesheetURLString().isNull()) << index;
  }
}

TEST_F(ArticleThemeTest, AListWithAnythingButPlainFileNamesCountsAsAbsent)
{
  const QByteArray lists[] = {
      R"({"ZPHSubthemeStylesheetsKey": ["light.css", 3]})",
      R"({"ZPHSubthemeStylesheetsKey": ["../../etc/passwd"]})",
      R"({"ZPHSubthemeStylesheetsKey": ["sub/dark.css"]})",
      R"({"ZPHSubthemeStylesheetsKey": [".."]})",
      R"({"ZPHSubthemeStylesheetsKey": "light.css"})",
      R"({"OtherKey": ["light.css"]})",
      R"(["light.css"])",
      "not json",
  };
  for (const QByteArray& list : lists) {
    write(QStringLiteral("Info.json"), list);
    ZPHArticleTheme theme(folder, &defaults);
    EXPECT_EQ(theme.subthemeCount(), 0) << list.constData();
    EXPECT_FALSE(theme.arrayOfStringsForKey(ZPHArticleTheme::SubthemeStylesheetsKey).has_value()) << list.constData();
    EXPECT_EQ(text(theme.activeSubthemeName()), "");
  }
  QFile::remove(QDir(folder).filePath(QStringLiteral("Info.json")));
  EXPECT_EQ(ZPHArticleTheme(folder, &defaults).subthemeCount(), 0);
}

TEST_F(ArticleThemeTest, TheTemplateIsReadOnceAndOnlyWhenItHasText)
{
  ZPHArticleTheme theme(folder, &defaults);
  EXPECT_TRUE(theme.htmlTemplate().isNull()) << "missing";
  write(QStringLiteral("template.html"), "");
  EXPECT_TRUE(theme.htmlTemplate().isNull()) << "empty";
  write(QStringLiteral("template.html"), "<p>caf\xC3\xA9 [[newsitem_title]]</p>");
  EXPECT_EQ(text(theme.htmlTemplate()), "<p>caf\xC3\xA9 [[newsitem_title]]</p>");
  write(QStringLiteral("template.html"), "<p>changed</p>");
  EXPECT_EQ(text(theme.htmlTemplate()), "<p>caf\xC3\xA9 [[newsitem_title]]</p>");
  // Not UTF-8: the encoding its byte-order mark names.
  write(QStringLiteral("theme.js"), QByteArray("\xFF\xFE") + QByteArray("x\0=\0001\0", 6));
  EXPECT_EQ(text(theme.themeScript()), "x=1");
}

TEST_F(ArticleThemeTest, StyleSheetsAreAddressedThroughTheirScheme)
{
  write(QStringLiteral("Info.json"), R"({"ZPHSubthemeStylesheetsKey": ["light.css", "dark.css", "dark.print"]})");
  ZPHArticleTheme theme(folder, &defaults);
  EXPECT_EQ(text(ZPHArticleTheme::stylesheetURLStringForPath(QStringLiteral("/a b/c#d.css"))),
            "cbstylesheet:///a%20b/c%23d.css");
  // Two sheets of one name: the later one.
  EXPECT_TRUE(theme.stylesheetURLStringForSubtheme(QStringLiteral("dark")).endsWith(QStringLiteral("/dark.print")));
  EXPECT_TRUE(theme.stylesheetURLStringForSubtheme(QStringLiteral("sepia")).isNull());
  defaults.setInteger(ZPHSubthemeStyleIndexKey, 1);
  EXPECT_TRUE(theme.activeSubthemeStylesheetURLString().startsWith(QStringLiteral("cbstylesheet:///")));
  EXPECT_TRUE(theme.activeSubthemeStylesheetURLString().endsWith(QStringLiteral("/Paper.theme/dark.print")));
}

}  // namespace
