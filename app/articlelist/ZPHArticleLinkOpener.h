#pragma once

// Qt kind: none (static functions).

#include "common/ZPHAppServices.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

#include <functional>

// Where an article's link may go when the user opens it. Only web
// addresses (http, https) leave for the browser; a feed address (feed:,
// rss:) is handed to subscribing; everything else (a guid used as a link,
// javascript:, file:, data:, custom schemes, text that is no address) goes
// nowhere. Main thread only.
class ZPHArticleLinkOpener {
public:
  ZPHArticleLinkOpener() = delete;

  enum class Action { Open, Subscribe, Drop };
  // The action for a link, and the address it acts on.
  static Action actionForLink(const QString& link, QUrl* url = nullptr);

  // Opens the link by its action, a web address in the place asked for
  // (ZPHAppServices); answers whether it went anywhere.
  static bool openLink(const QString& link, ZPHAppServices::LinkPlace place = ZPHAppServices::LinkPlace::Preferred);

  // Who subscribes to a feed address (logged, and nothing else, while none
  // is set).
  static void setSubscribeHandler(std::function<void(const QUrl& url)> handler);
};
