#pragma once

// Picks the RSS or Atom reader for downloaded bytes and forwards to it.

#include "feeds/parsers/ZPHAbstractFeedParser.h"
#include "platform/ZPHError.h"

#include <QtCore/QByteArray>

#include <memory>

class CBFeedParserProxy {
public:
  // False, leaving `error` alone, when the data is not a feed. Otherwise
  // true whatever the XML reader met: a document that breaks off still
  // yields what came before the break, and the XML error goes out through
  // `error`.
  bool parseData(const QByteArray& data, ZPHError* error = nullptr);

  ZPHAbstractFeedParser* actualParser() const { return m_actualParser.get(); }
  // Forwarded to the chosen reader; empty and null before one is chosen.
  QVariantMap headerItems() const;
  QList<std::shared_ptr<CBParsedNewsItem>> newsItems() const;
  QString feedTitle() const;
  QString feedHomePageURL() const;
  void stopParsing();

private:
  std::unique_ptr<ZPHAbstractFeedParser> m_actualParser;
};
