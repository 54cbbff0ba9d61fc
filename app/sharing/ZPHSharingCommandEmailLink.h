#pragma once

// Qt kind: none (a plain class).

#include "sharing/ZPHSharingCommandBase.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

// "Mail Link": a new mail in the desktop's mail program with the item's
// title as subject and its address as body, each filled into a template of
// the data folder's "Templates" folder ("EmailLinkTitleTemplate",
// "EmailLinkBodyTemplate") when the user made one.
class ZPHSharingCommandEmailLink : public ZPHSharingCommandBase {
public:
  ZPHSharingCommandEmailLink();
  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper* helper, ZPHError* error) override;

  // The text of a template file in the folder, its encoding detected (UTF-8
  // without a mark); null when there is none or it is too large.
  static QString contentsOfEmailTemplateWithFolder(const QString& folder, const QString& filename);
  // The mail link for the title and address through the templates
  // ("[[title]]" and "[[url]]" replaced, any case).
  static QUrl emailMessageURL(const QString& title, const QString& titleTemplate, const QUrl& url,
                              const QString& bodyTemplate);
  // Opens it in the mail program; false when it refused.
  static bool openEmailMessageWithTitle(const QString& title, const QString& titleTemplate, const QUrl& url,
                                        const QString& bodyTemplate);
};

class ZPHSharingPluginSendViaEmail : public ZPHSingleCommandPlugin<ZPHSharingCommandEmailLink> {};
