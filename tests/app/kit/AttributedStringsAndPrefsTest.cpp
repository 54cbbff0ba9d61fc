// Label text styles and the settings that hold a colour or a font.

#include "kit/CBAttributedString.h"
#include "kit/CBPrefsColorAndFont.h"
#include "kit/CBSystemFont.h"
#include "platform/ZPHUserDefaults.h"

#include <QtGui/QFontDatabase>
#include <QtGui/QFontMetricsF>

#include <gtest/gtest.h>

TEST(AttributedStrings, EachMakerSetsItsAttributes)
{
  const QFont font(QStringLiteral("DejaVu Sans"), 14);
  const QFont system11 = CBSystemFontOfSize(11);
  const struct {
    const char* name;
    CBAttributedString made;
    QFont font;
    QColor foreground;  // invalid: none set
    QColor background;  // invalid: none set
    bool underlined;
    bool truncates;
  } cases[] = {
      {"truncated, underlined",
       CBAttributedString::cb_truncatedString("t", Qt::darkGreen, font, true),
       font,
       Qt::darkGreen,
       {},
       true,
       true},
      {"truncated",
       CBAttributedString::cb_truncatedString("t", Qt::darkGreen, std::nullopt),
       system11,
       Qt::darkGreen,
       {},
       false,
       true},
      {"truncated without a colour",
       CBAttributedString::cb_truncatedString("t", QColor(), font),
       font,
       {},
       {},
       false,
       true},
      {"blue", CBAttributedString::cb_truncatedBlueUnderlinedString("t", font), font, Qt::blue, {}, true, true},
      {"red",
       CBAttributedString::cb_truncatedRedUnderlinedString("t", std::nullopt),
       system11,
       Qt::red,
       {},
       true,
       true},
      {"plain", CBAttributedString::cb_attributedString("t", Qt::gray, font), font, Qt::gray, {}, false, false},
      {"with background", CBAttributedString::cb_attributedString("t", Qt::gray, std::nullopt, Qt::yellow), system11,
       Qt::gray, Qt::yellow, false, false},
  };
  for (const auto& c : cases) {
    const QTextCharFormat& format = c.made.format;
    EXPECT_EQ(c.made.string, "t") << c.name;
    EXPECT_EQ(format.font().family(), c.font.family()) << c.name;
    EXPECT_EQ(format.font().pointSizeF(), c.font.pointSizeF()) << c.name;
    EXPECT_EQ(format.hasProperty(QTextFormat::ForegroundBrush), c.foreground.isValid()) << c.name;
    if (c.foreground.isValid()) {
      EXPECT_EQ(format.foreground().color(), c.foreground) << c.name;
    }
    EXPECT_EQ(format.hasProperty(QTextFormat::BackgroundBrush), c.background.isValid()) << c.name;
    if (c.background.isValid()) {
      EXPECT_EQ(format.background().color(), c.background) << c.name;
    }
    EXPECT_EQ(format.underlineStyle(), c.underlined ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline)
        << c.name;
    EXPECT_EQ(c.made.truncation, c.truncates ? Qt::ElideRight : Qt::ElideNone) << c.name;
  }
  EXPECT_EQ(system11.pointSizeF(), 11.0);

  // Truncating cuts at the tail when the text does not fit; the others never.
  const QString title = QStringLiteral("A site title far too long for its column");
  const CBAttributedString truncated = CBAttributedString::cb_truncatedString(title, QColor(), font);
  const qreal narrow = QFontMetricsF(font).horizontalAdvance(title) / 2;
  EXPECT_TRUE(truncated.textForWidth(narrow).endsWith(QChar(0x2026)));
  EXPECT_TRUE(title.startsWith(truncated.textForWidth(narrow).chopped(1)));
  EXPECT_EQ(truncated.textForWidth(10000), title);
  EXPECT_EQ(CBAttributedString::cb_attributedString(title, QColor(), font).textForWidth(narrow), title);
}

TEST(ColorAndFontPrefs, AColourReadsBackAndWhiteStandsForNone)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const QString key = QStringLiteral("CBTestColor");
  defaults.removeObject(key);
  EXPECT_EQ(CBPrefsGetColor(key), QColor(Qt::white));
  const QColor translucent(12, 34, 56, 78);
  CBPrefsSetColor(translucent, key);
  EXPECT_EQ(defaults.objectForKey(key).typeId(), QMetaType::QByteArray);
  EXPECT_EQ(CBPrefsGetColor(key), translucent);
  // What is not a stored colour reads as none.
  defaults.setString(key, QStringLiteral("#ff0000"));
  EXPECT_EQ(CBPrefsGetColor(key), QColor(Qt::white));
  defaults.setObject(key, QByteArray("\x01", 1));
  EXPECT_EQ(CBPrefsGetColor(key), QColor(Qt::white));
  defaults.removeObject(key);
}

TEST(ColorAndFontPrefs, AFontFallsBackInSizeAndFamily)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const QString nameKey = QStringLiteral("CBTestFontName");
  const QString sizeKey = QStringLiteral("CBTestFontSize");
  ASSERT_TRUE(QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans")));
  const QString system = CBSystemFontOfSize(11).family();
  const struct {
    const char* name;
    QString storedName;  // null: none stored
    double storedSize;   // negative: none stored
    QString family;
    double size;
  } cases[] = {
      {"nothing stored", QString(), -1, system, 11.0},
      {"too small", QStringLiteral("DejaVu Sans"), 5.5, QStringLiteral("DejaVu Sans"), 11.0},
      {"smallest", QStringLiteral("DejaVu Sans"), 6.0, QStringLiteral("DejaVu Sans"), 6.0},
      {"no such family", QStringLiteral("No Such Family Anywhere"), 17.0, system, 17.0},
      {"empty name", QStringLiteral(""), 13.0, system, 13.0},
  };
  for (const auto& c : cases) {
    defaults.removeObject(nameKey);
    defaults.removeObject(sizeKey);
    if (!c.storedName.isNull())
      CBPrefsSetFont(c.storedName, nameKey, sizeKey, c.storedSize < 0 ? 0 : c.storedSize);
    if (c.storedSize < 0)
      defaults.removeObject(sizeKey);
    const QFont font = CBPrefsGetFont(nameKey, sizeKey);
    EXPECT_EQ(font.family(), c.family) << c.name;
    EXPECT_EQ(font.pointSizeF(), c.size) << c.name;
  }
  CBPrefsSetFont(QStringLiteral("DejaVu Sans"), nameKey, sizeKey, 12.5);
  EXPECT_EQ(defaults.stringForKey(nameKey), "DejaVu Sans");
  EXPECT_EQ(defaults.doubleForKey(sizeKey), 12.5);
  defaults.removeObject(nameKey);
  defaults.removeObject(sizeKey);
}
