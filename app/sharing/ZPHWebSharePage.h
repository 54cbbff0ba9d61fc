#pragma once

// Qt kind: none (a plain class).

#include "sharing/ZPHSharingCommandBase.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

// The web pages of the social services on which a link is shared, read from
// ":/Sharing/WebSharePages.json" ({"<service>": {"page": …, "urlParameter":
// …, "titleParameter": …}}): the item goes to the page in the web browser,
// its address and title as query parameters, each value percent-encoded in
// full so that it arrives as written.
class ZPHWebSharePage {
public:
  ZPHWebSharePage() = delete;

  static const QString Resource;  // ":/Sharing/WebSharePages.json"

  // The page for the service with the address and title; invalid when the
  // service has no page or the address is no web address.
  static QUrl shareURL(const QString& service, const QUrl& address, const QString& title);
  // Opens that page in the web browser; false when there is none or the
  // browser refused it.
  static bool openShareURL(const QString& service, const QUrl& address, const QString& title);
};

// "Share on Facebook": the service's share page in the web browser. Web
// addresses only, checked when offered and again when run.
class ZPHPluginCommandSendToFacebook : public ZPHSharingCommandBase {
public:
  ZPHPluginCommandSendToFacebook();
  bool validateWithItems(const QList<CBSharableItem>& items) const override;
  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper* helper, ZPHError* error) override;
  // The item it last ran on.
  CBSharableItem item() const { return m_item; }

private:
  CBSharableItem m_item;
};

class ZPHSharingPluginSendToFacebook : public ZPHSingleCommandPlugin<ZPHPluginCommandSendToFacebook> {};
