#include "support/ZPHTestSyncPeer.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMutexLocker>
#include <QtCore/QUrlQuery>

namespace {

const QString Base = QStringLiteral("/sync");
const QStringList Calls{QStringLiteral("create"), QStringLiteral("list_feeds_and_folders"),
                        QStringLiteral("update_feeds_and_folders"), QStringLiteral("list_articles"),
                        QStringLiteral("update_articles")};

// The value and date pairs of a node.
const QList<std::pair<QString, QString>> NodeFields{
    {QStringLiteral("userAssignedName"), QStringLiteral("userAssignedNameModDate")},
    {QStringLiteral("childIndex"), QStringLiteral("childIndexModDate")},
    {QStringLiteral("parentGUID"), QStringLiteral("parentGUIDModDate")},
    {QStringLiteral("flags"), QStringLiteral("flagsModDate")},
};

ZPHTestHTTPResponse json(const QJsonObject& object, int status = 200)
{
  ZPHTestHTTPResponse response;
  response.status = status;
  response.headers.append({QByteArray("Content-Type"), QByteArray("application/json")});
  response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
  return response;
}

}  // namespace

QJsonObject ZPHTestJSON(const QByteArray& text) { return QJsonDocument::fromJson(text).object(); }

ZPHTestSyncPeer::ZPHTestSyncPeer()
{
  m_listening = m_server.start();
  for (const QString& call : Calls)
    m_server.route(Base + u'/' + call,
                   [this, call](const ZPHTestHTTPRequest& request) { return handle(call, request); });
}

QString ZPHTestSyncPeer::url() const
{
  QString text = m_server.url(Base).toString();
  return text;
}

void ZPHTestSyncPeer::addAccount(const QString& user, const QString& password)
{
  QMutexLocker locker(&m_mutex);
  m_accounts[user].password = password;
}

bool ZPHTestSyncPeer::hasAccount(const QString& user) const
{
  QMutexLocker locker(&m_mutex);
  return m_accounts.contains(user);
}

double ZPHTestSyncPeer::stampLocked()
{
  const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
  m_lastStamp = std::max(now, m_lastStamp + 0.001);
  return m_lastStamp;
}

double ZPHTestSyncPeer::stamp()
{
  QMutexLocker locker(&m_mutex);
  return stampLocked();
}

void ZPHTestSyncPeer::putFolder(const QString& user, const QJsonObject& folder)
{
  QMutexLocker locker(&m_mutex);
  QJsonObject stored = folder;
  stored.insert(QStringLiteral("modDate"), stampLocked());
  m_accounts[user].folders.insert(folder.value(QStringLiteral("guid")).toString(), stored);
}

void ZPHTestSyncPeer::putFeed(const QString& user, const QJsonObject& feed)
{
  QMutexLocker locker(&m_mutex);
  QJsonObject stored = feed;
  stored.insert(QStringLiteral("modDate"), stampLocked());
  m_accounts[user].feeds.insert(feed.value(QStringLiteral("url")).toString(), stored);
}

void ZPHTestSyncPeer::putArticle(const QString& user, const QJsonObject& article)
{
  QMutexLocker locker(&m_mutex);
  QJsonObject stored = article;
  stored.insert(QStringLiteral("modDate"), stampLocked());
  m_accounts[user].articles.insert(article.value(QStringLiteral("guid")).toString(), stored);
}

QJsonObject ZPHTestSyncPeer::folder(const QString& user, const QString& guid) const
{
  QMutexLocker locker(&m_mutex);
  return m_accounts.value(user).folders.value(guid);
}

QJsonObject ZPHTestSyncPeer::feed(const QString& user, const QString& url) const
{
  QMutexLocker locker(&m_mutex);
  return m_accounts.value(user).feeds.value(url);
}

QJsonObject ZPHTestSyncPeer::article(const QString& user, const QString& guid) const
{
  QMutexLocker locker(&m_mutex);
  return m_accounts.value(user).articles.value(guid);
}

QList<QJsonObject> ZPHTestSyncPeer::folders(const QString& user) const
{
  QMutexLocker locker(&m_mutex);
  return m_accounts.value(user).folders.values();
}

QList<QJsonObject> ZPHTestSyncPeer::feeds(const QString& user) const
{
  QMutexLocker locker(&m_mutex);
  return m_accounts.value(user).feeds.values();
}

void ZPHTestSyncPeer::failNext(const QString& apiCall, Failure failure, int count)
{
  QMutexLocker locker(&m_mutex);
  for (int i = 0; i < count; ++i) m_failures[apiCall].append(failure);
}

void ZPHTestSyncPeer::clearFailures()
{
  QMutexLocker locker(&m_mutex);
  m_failures.clear();
  m_canned.clear();
  m_delays.clear();
}

void ZPHTestSyncPeer::delayNext(const QString& apiCall, int ms)
{
  QMutexLocker locker(&m_mutex);
  m_delays.insert(apiCall, ms);
}

void ZPHTestSyncPeer::answerNext(const QString& apiCall, const QByteArray& body, int status,
                                 const ZPHTestHTTPHeaders& headers)
{
  QMutexLocker locker(&m_mutex);
  m_canned[apiCall].append({body, status, headers});
}

QList<ZPHTestHTTPRequest> ZPHTestSyncPeer::requests(const QString& apiCall) const
{
  QList<ZPHTestHTTPRequest> matching;
  for (const ZPHTestHTTPRequest& request : m_server.requests()) {
    if (request.path == Base + u'/' + apiCall)
      matching.append(request);
  }
  return matching;
}

QList<qint64> ZPHTestSyncPeer::tags() const
{
  QList<qint64> tags;
  for (const ZPHTestHTTPRequest& request : m_server.requests())
    tags.append(QUrlQuery(request.query).queryItemValue(QStringLiteral("tag")).toLongLong());
  return tags;
}

ZPHTestSyncPeer::Account* ZPHTestSyncPeer::authenticate(const ZPHTestHTTPRequest& request)
{
  const QByteArray header = request.header("Authorization");
  if (!header.startsWith("Basic "))
    return nullptr;
  const QByteArray decoded = QByteArray::fromBase64(header.mid(6));
  const qsizetype colon = decoded.indexOf(':');
  if (colon < 0)
    return nullptr;
  const QString user = QString::fromUtf8(decoded.left(colon));
  const QString password = QString::fromUtf8(decoded.mid(colon + 1));
  auto it = m_accounts.find(user);
  if (it == m_accounts.end() || it->password != password)
    return nullptr;
  return &*it;
}

ZPHTestHTTPResponse ZPHTestSyncPeer::handle(const QString& apiCall, const ZPHTestHTTPRequest& request)
{
  QMutexLocker locker(&m_mutex);
  ZPHTestHTTPResponse response = answer(apiCall, request);
  // A login challenge is no answer: the delay waits for the real one.
  if (response.status != 401)
    response.delayBeforeBodyMs = m_delays.take(apiCall);
  return response;
}

ZPHTestHTTPResponse ZPHTestSyncPeer::answer(const QString& apiCall, const ZPHTestHTTPRequest& request)
{
  if (!m_canned.value(apiCall).isEmpty()) {
    const Canned canned = m_canned[apiCall].takeFirst();
    ZPHTestHTTPResponse response;
    response.status = canned.status;
    response.headers = canned.headers;
    response.body = canned.body;
    return response;
  }
  if (!m_failures.value(apiCall).isEmpty()) {
    const Failure failure = m_failures[apiCall].takeFirst();
    switch (failure) {
      case Failure::Unauthorized:
        return ZPHTestHTTPResponse::basicChallenge("zephlin-sync");
      case Failure::ServerError:
        return json(ZPHTestJSON(R"({"error": "internal", "data": {
            "feeds": [{"guid": "G500", "url": "https://five-hundred.example.com/feed"}],
            "articles": [{"guid": "https://five-hundred.example.com/1", "read": true, "readModDate": 9e9,
                          "modDate": 9e9}]}})"),
                    500);
      case Failure::NotJSON: {
        ZPHTestHTTPResponse response;
        response.headers.append({QByteArray("Content-Type"), QByteArray("text/html")});
        response.body = "<html><body>Service temporarily unavailable</body></html>";
        return response;
      }
      case Failure::Drop: {
        ZPHTestHTTPResponse response;
        response.headers.append({QByteArray("Content-Type"), QByteArray("application/json")});
        response.headers.append({QByteArray("Content-Length"), QByteArray("4096")});
        response.body = "{\"data\": {\"fol";
        return response;
      }
    }
  }
  const QJsonObject body = QJsonDocument::fromJson(request.body).object();
  if (apiCall == QLatin1String("create"))
    return create(body);
  Account* account = authenticate(request);
  if (account == nullptr)
    return ZPHTestHTTPResponse::basicChallenge("zephlin-sync");
  if (apiCall == QLatin1String("list_feeds_and_folders")) {
    ZPHTestHTTPResponse response = listFeedsAndFolders(*account, body);
    response.headers.append({QByteArray("Set-Cookie"), QByteArray("zphsync=session-1; Path=/sync; HttpOnly")});
    return response;
  }
  if (apiCall == QLatin1String("update_feeds_and_folders"))
    return updateFeedsAndFolders(*account, body);
  if (apiCall == QLatin1String("list_articles"))
    return listArticles(*account, body);
  return updateArticles(*account, body);
}

ZPHTestHTTPResponse ZPHTestSyncPeer::create(const QJsonObject& body)
{
  const QJsonObject user = body.value(QStringLiteral("user")).toObject();
  const QString email = user.value(QStringLiteral("email")).toString();
  const QString password = user.value(QStringLiteral("password")).toString();
  const QString confirmation = user.value(QStringLiteral("password_confirmation")).toString();
  if (email.isEmpty() || password.isEmpty() || password != confirmation || m_accounts.contains(email))
    return json({{QStringLiteral("status"), QStringLiteral("error")}});
  m_accounts[email].password = password;
  return json({{QStringLiteral("status"), QStringLiteral("ok")}});
}

ZPHTestHTTPResponse ZPHTestSyncPeer::listFeedsAndFolders(const Account& account, const QJsonObject& body) const
{
  const double since = body.value(QStringLiteral("lastModDate")).toDouble();
  QJsonArray folders;
  QJsonArray feeds;
  for (const QJsonObject& folder : account.folders) {
    if (folder.value(QStringLiteral("modDate")).toDouble() > since)
      folders.append(folder);
  }
  for (const QJsonObject& feed : account.feeds) {
    if (feed.value(QStringLiteral("modDate")).toDouble() > since)
      feeds.append(feed);
  }
  return json(
      {{QStringLiteral("data"), QJsonObject{{QStringLiteral("folders"), folders}, {QStringLiteral("feeds"), feeds}}}});
}

QJsonObject ZPHTestSyncPeer::mergeNode(const QJsonObject& stored, const QJsonObject& sent)
{
  if (stored.isEmpty()) {
    QJsonObject node = sent;
    node.insert(QStringLiteral("modDate"), stampLocked());
    return node;
  }
  if (stored.value(QStringLiteral("isDeleted")).toBool())
    return stored;
  QJsonObject node = stored;
  bool changed = false;
  if (sent.value(QStringLiteral("isDeleted")).toBool()) {
    node.insert(QStringLiteral("isDeleted"), true);
    changed = true;
  }
  for (const auto& [valueKey, dateKey] : NodeFields) {
    if (sent.value(dateKey).toDouble() <= stored.value(dateKey).toDouble())
      continue;
    if (sent.contains(valueKey))
      node.insert(valueKey, sent.value(valueKey));
    else
      node.remove(valueKey);
    node.insert(dateKey, sent.value(dateKey));
    changed = true;
  }
  for (const QString& key : {QStringLiteral("homepageurl"), QStringLiteral("favIconUrl")}) {
    if (sent.contains(key) && sent.value(key) != stored.value(key)) {
      node.insert(key, sent.value(key));
      changed = true;
    }
  }
  if (changed)
    node.insert(QStringLiteral("modDate"), stampLocked());
  return node;
}

ZPHTestHTTPResponse ZPHTestSyncPeer::updateFeedsAndFolders(Account& account, const QJsonObject& body)
{
  // The keys every node object carries, deleted or not, are required here,
  // as a server may well read them.
  for (const QString& array : {QStringLiteral("folders"), QStringLiteral("feeds")}) {
    for (const QJsonValue& value : body.value(array).toArray()) {
      const QJsonObject sent = value.toObject();
      for (const QString& key : {QStringLiteral("childIndex"), QStringLiteral("flags"), QStringLiteral("isDeleted")}) {
        if (!sent.contains(key))
          return json({{QStringLiteral("status"), QStringLiteral("error")}, {QStringLiteral("missing"), key}}, 400);
      }
    }
  }
  for (const QJsonValue& value : body.value(QStringLiteral("folders")).toArray()) {
    const QJsonObject sent = value.toObject();
    const QString guid = sent.value(QStringLiteral("guid")).toString();
    if (!guid.isEmpty())
      account.folders.insert(guid, mergeNode(account.folders.value(guid), sent));
  }
  for (const QJsonValue& value : body.value(QStringLiteral("feeds")).toArray()) {
    const QJsonObject sent = value.toObject();
    const QString url = sent.value(QStringLiteral("url")).toString();
    if (!url.isEmpty())
      account.feeds.insert(url, mergeNode(account.feeds.value(url), sent));
  }
  return json({{QStringLiteral("status"), QStringLiteral("ok")}});
}

ZPHTestHTTPResponse ZPHTestSyncPeer::listArticles(const Account& account, const QJsonObject& body) const
{
  const double since = body.value(QStringLiteral("lastModDate")).toDouble();
  QJsonArray articles;
  for (const QJsonObject& article : account.articles) {
    if (article.value(QStringLiteral("modDate")).toDouble() > since)
      articles.append(article);
  }
  return json({{QStringLiteral("data"), QJsonObject{{QStringLiteral("articles"), articles}}}});
}

ZPHTestHTTPResponse ZPHTestSyncPeer::updateArticles(Account& account, const QJsonObject& body)
{
  for (const QJsonValue& value : body.value(QStringLiteral("articles")).toArray()) {
    const QJsonObject sent = value.toObject();
    const QString guid = sent.value(QStringLiteral("guid")).toString();
    if (guid.isEmpty())
      continue;
    const double date = sent.value(QStringLiteral("modDate")).toDouble();
    QJsonObject stored = account.articles.value(guid);
    if (stored.value(QStringLiteral("isDeleted")).toBool())
      continue;
    bool changed = stored.isEmpty();
    stored.insert(QStringLiteral("guid"), guid);
    if (sent.value(QStringLiteral("isDeleted")).toBool()) {
      stored.insert(QStringLiteral("isDeleted"), true);
      changed = true;
    }
    for (const auto& [valueKey, dateKey] :
         {std::pair{QStringLiteral("read"), QStringLiteral("readModDate")},
          std::pair{QStringLiteral("bookmarked"), QStringLiteral("bookmarkedModDate")}}) {
      if (date > stored.value(dateKey).toDouble()) {
        stored.insert(valueKey, sent.value(valueKey).toBool());
        stored.insert(dateKey, date);
        changed = true;
      }
    }
    if (changed) {
      stored.insert(QStringLiteral("modDate"), stampLocked());
      account.articles.insert(guid, stored);
    }
  }
  return json({{QStringLiteral("status"), QStringLiteral("ok")}});
}
