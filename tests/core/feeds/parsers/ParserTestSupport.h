#pragma once

#include "feeds/parsers/CBFeedParserProxy.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QTimeZone>

#include <gtest/gtest.h>

#include <memory>

// A feed fixture run through the parser proxy.
struct ParsedFixture {
  bool isFeed = false;
  ZPHError error;
  std::unique_ptr<CBFeedParserProxy> proxy = std::make_unique<CBFeedParserProxy>();

  CBParsedNewsItem* item(qsizetype index) const
  {
    const auto items = proxy->newsItems();
    return index < items.size() ? items.at(index).get() : nullptr;
  }
  qsizetype count() const { return proxy->newsItems().size(); }
};

inline ParsedFixture ParseFeedBytes(const QByteArray& bytes)
{
  ParsedFixture parsed;
  parsed.isFeed = parsed.proxy->parseData(bytes, &parsed.error);
  return parsed;
}

inline ParsedFixture ParseFeedFixture(const QString& name)
{
  const QByteArray bytes = ZPHTestFixture(QStringLiteral("feeds/") + name);
  EXPECT_FALSE(bytes.isEmpty()) << name.toStdString();
  return ParseFeedBytes(bytes);
}
