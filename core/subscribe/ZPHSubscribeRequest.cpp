#include "subscribe/ZPHSubscribeRequest.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QHashFunctions>

ZPHSubscribeRequest::ZPHSubscribeRequest() = default;

ZPHSubscribeRequest::ZPHSubscribeRequest(const QUrl& feedURL) : m_feedURL(feedURL) {}

std::shared_ptr<ZPHSubscribeRequest> ZPHSubscribeRequest::copy() const
{
  return std::make_shared<ZPHSubscribeRequest>(*this);
}

CBDataAccount* ZPHSubscribeRequest::account() const
{
  return m_account != nullptr ? m_account : CBDataAccount::localAccount();
}

CBFolder* ZPHSubscribeRequest::parentFolder() const
{
  if (m_parentFolderID.isNull())
    return nullptr;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* context = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
  if (context == nullptr)
    return nullptr;
  // A folder not saved yet is found only until its first save.
  ZPHManagedObject* object = m_parentFolderID.isTemporaryID() ? context->registeredObject(m_parentFolderID)
                                                              : context->existingObjectWithID(m_parentFolderID);
  auto* folder = dynamic_cast<CBFolder*>(object);
  return folder != nullptr && !folder->isDeleted() ? folder : nullptr;
}

void ZPHSubscribeRequest::setParentFolder(CBFolder* folder)
{
  m_parentFolderID = folder != nullptr ? folder->objectID() : ZPHManagedObjectID();
}

bool ZPHSubscribeRequest::isEqual(const ZPHSubscribeRequest& other) const
{
  const bool titlesEqual = (m_title.isNull() && other.m_title.isNull()) || m_title == other.m_title;
  return m_feedURL == other.m_feedURL && m_parentFolderID == other.m_parentFolderID && titlesEqual &&
         account() == other.account();
}

QString ZPHSubscribeRequest::description() const
{
  return QStringLiteral("<ZPHSubscribeRequest <feedURL: %1>>").arg(m_feedURL.toDisplayString(QUrl::RemoveUserInfo));
}

size_t qHash(const ZPHSubscribeRequest& request, size_t seed) { return qHash(request.feedURL(), seed); }
