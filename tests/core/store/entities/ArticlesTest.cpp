#include "core/store/entities/ArticleStoreFixture.h"

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QMutex>

namespace {

class ArticlesTest : public ArticleStoreFixture {
protected:
  // Notifications of one name, recorded on the thread that delivers them.
  struct Recorder {
    explicit Recorder(const QString& name)
    {
      token = ZPHNotificationCenter::defaultCenter().addObserver(name, QVariant(), [this](const ZPHNotification& n) {
        QMutexLocker locker(&mutex);
        notifications.append(n);
        onMainThread.append(ZPHMainThread::isMainThread());
      });
    }
    qsizetype count()
    {
      QMutexLocker locker(&mutex);
      return notifications.size();
    }
    QMutex mutex;
    QList<ZPHNotification> notifications;
    QList<bool> onMainThread;
    ZPHObserverToken token;
  };

  static QDateTime at(int dayOffset, int hour = 12)
  {
    return QDateTime(QDate(2026, 3, 10).addDays(dayOffset), QTime(hour, 0), Qt::UTC);
  }
};

}  // namespace

TEST_F(ArticlesTest, BestLinkPrefersAWebPermalinkThenTheLinkThenTheGuid)
{
  struct Case {
    const char* permalink;
    const char* link;
    const char* guid;
    const char* best;
  } cases[] = {
      {"https://p.example/1", "https://l.example/1", "g1", "https://p.example/1"},
      {"  http://p.example/2\n", "https://l.example/2", "g2", "http://p.example/2"},
      {"rss://p.example/3", nullptr, "g3", "rss://p.example/3"},
      {"ftp://p.example/4", "https://l.example/4", "g4", "https://l.example/4"},
      {"urn:uuid:5", " https://l.example/5 ", "g5", "https://l.example/5"},
      {nullptr, nullptr, "g6", "g6"},
      {"ftp://p.example/7", "  ", "g7", "g7"},
  };
  for (const Case& c : cases) {
    CBDataArticle* article = CBDataArticle::insertArticleWithMOC(main.get());
    article->setPermalink(c.permalink ? QString::fromUtf8(c.permalink) : QString());
    article->setLink(c.link ? QString::fromUtf8(c.link) : QString());
    article->setGuid(QString::fromUtf8(c.guid));
    EXPECT_EQ(article->bestLink(), QString::fromUtf8(c.best)) << c.guid;
  }
}

TEST_F(ArticlesTest, BaseURLIsAnAbsoluteWebAddressWithoutFragmentElseInert)
{
  CBFeed* feed = addFeed(QStringLiteral("https://feed.example/rss"));
  feed->setHomePageURL(QUrl(QStringLiteral("https://home.example/#top")));
  addFeed(QStringLiteral("https://nohome.example/rss#x"));
  struct Case {
    const char* permalink;
    const char* link;
    const char* guid;
    const char* feedURL;
    const char* base;
  } cases[] = {
      {"https://p.example/a#frag", nullptr, "g", "https://feed.example/rss", "https://p.example/a"},
      {nullptr, "HTTP://L.example/b#", "g", "https://feed.example/rss", "http://l.example/b"},
      {"/relative/path", "/also/relative", "g", "https://feed.example/rss", "https://home.example/"},
      {nullptr, "mailto:someone@example.com", "g", "https://feed.example/rss", "https://home.example/"},
      {nullptr, nullptr, "urn:guid", "https://nohome.example/rss#x", "https://nohome.example/rss"},
      {nullptr, nullptr, "urn:guid", nullptr, "about:blank"},
  };
  for (const Case& c : cases) {
    CBDataArticle* article = CBDataArticle::insertArticleWithMOC(main.get());
    article->setPermalink(c.permalink ? QString::fromUtf8(c.permalink) : QString());
    article->setLink(c.link ? QString::fromUtf8(c.link) : QString());
    article->setGuid(QString::fromUtf8(c.guid));
    article->setFeedURL(c.feedURL ? QString::fromUtf8(c.feedURL) : QString());
    EXPECT_EQ(article->baseURLWithMOC(main.get()).toString(), QString::fromUtf8(c.base)) << c.permalink << c.link;
    EXPECT_EQ(article->baseURL(), article->baseURLWithMOC(main.get()));
  }
}

TEST_F(ArticlesTest, DisplayTitlesAndScrubbedStrings)
{
  CBDataArticle* article = CBDataArticle::insertArticleWithMOC(main.get());
  EXPECT_EQ(article->plainTextTitleForDisplay(), QStringLiteral("Untitled"));
  int told = 0;
  const int token = article->addChangeObserver([&](ZPHManagedObject*, const QString& key) {
    if (key == QLatin1String("plainTextTitleForDisplay"))
      ++told;
  });
  // The plain title is shown as it is: its markup was read once already, so
  // what looks like a tag is text.
  article->setPlainTextTitle(QStringLiteral("A <b> is bold"));
  EXPECT_EQ(told, 1);
  EXPECT_EQ(article->plainTextTitleForDisplay(), QStringLiteral("A <b> is bold"));
  article->removeChangeObserver(token);

  // A lone surrogate from a broken feed becomes U+FFFD before it is stored.
  const QString broken = QStringLiteral("ab") + QChar(0xD800) + QStringLiteral("cd");
  article->setTitle(broken);
  article->setSummary(QChar(0xDC00) + QStringLiteral("x"));
  EXPECT_EQ(article->title(), QStringLiteral("ab\uFFFDcd"));
  EXPECT_EQ(article->summary(), QStringLiteral("\uFFFDx"));

  QString title = QStringLiteral("kept");
  QString link;
  CBDataArticle* untitled = CBDataArticle::insertArticleWithMOC(main.get());
  untitled->setGuid(QStringLiteral("g"));
  untitled->bestSharingTitle(&title, &link);
  EXPECT_EQ(title, QStringLiteral("kept"));
  EXPECT_EQ(link, QStringLiteral("g"));
}

TEST_F(ArticlesTest, BookmarkOutlivesItsArticleAndComesBackByBestLink)
{
  const QString feed = QStringLiteral("https://f.example/rss");
  CBDataArticle* bookmarked = addArticle(feed, QStringLiteral("https://f.example/kept"), at(0), true, true);
  CBDataArticle* plain = addArticle(feed, QStringLiteral("https://f.example/plain"), at(0), true, false);
  save();
  CBDataArticle::deleteArticles({bookmarked, plain}, true, main.get());
  save();
  EXPECT_TRUE(CBDataArticle::articlesWithMoc(main.get()).isEmpty());
  EXPECT_EQ(ArticleMetadata::findExistingArticleMetadataWithGUID(QStringLiteral("https://f.example/plain"), main.get()),
            nullptr);

  // The same item stored again finds its state through its best link.
  CBDataArticle* again = CBDataArticle::insertArticleWithFeedURL(QUrl(feed), main.get());
  again->setPermalink(QStringLiteral("https://f.example/kept"));
  again->setGuid(QStringLiteral("new-guid"));
  EXPECT_FALSE(again->read());
  EXPECT_EQ(again->findOrInsertMetadata()->guid(), QStringLiteral("https://f.example/kept"));
  EXPECT_TRUE(again->read());
  EXPECT_TRUE(again->flagged());
  save();
  const QList<ArticleMetadata*> byGUID = ArticleMetadata::findArticleMetadataForArticlesByGUID({again}, main.get());
  ASSERT_EQ(byGUID.size(), 1);
  EXPECT_EQ(byGUID.first()->article(), again);
  EXPECT_EQ(ArticleMetadata::findExistingArticleMetadataForArticles({again}, main.get()), byGUID);
}

TEST_F(ArticlesTest, MarkingReadOnTheStoreQueueSavesSyncsAndTellsTheMainThread)
{
  const QString url = QStringLiteral("https://f.example/rss");
  CBFeed* feed = addFeed(url);
  // No metadata yet: marking finds or inserts it by best link.
  CBDataArticle* article = addArticle(url, QStringLiteral("https://f.example/1"), at(0));
  addArticle(url, QStringLiteral("https://f.example/2"), at(0), false);
  save();
  const ZPHManagedObjectID articleID = article->objectID();
  Recorder recorder(CBDataArticleReadStatusDidChangeNotification);

  onStoreQueue([&](ZPHManagedObjectContext& context) {
    auto* mine = static_cast<CBDataArticle*>(context.existingObjectWithID(articleID));
    ASSERT_NE(mine, nullptr);
    mine->operation_only_markAsRead(true, true, true, true);
  });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recorder.count() == 1; }));
  EXPECT_TRUE(recorder.onMainThread.first());
  EXPECT_EQ(recorder.notifications.first().object.value<ZPHManagedObject*>(), article);
  EXPECT_TRUE(article->read());
  EXPECT_TRUE(article->needsSync());
  EXPECT_EQ(feed->unreadCount(), 1u);  // counted on the queue, merged here
  EXPECT_EQ(article->metadata()->guid(), QStringLiteral("https://f.example/1"));

  // Already read: nothing changes and nothing is posted.
  onStoreQueue([&](ZPHManagedObjectContext& context) {
    auto* mine = static_cast<CBDataArticle*>(context.existingObjectWithID(articleID));
    mine->operation_only_markAsRead(true, true, true, true);
    EXPECT_FALSE(context.hasChanges());
  });
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(recorder.count(), 1);
}

TEST_F(ArticlesTest, BulkReadMarksSyncsInOneSaveAndRaisesTheFeedsReadDate)
{
  const QString a = QStringLiteral("https://a.example/rss");
  const QString b = QStringLiteral("https://b.example/rss");
  CBFeed* feedA = addFeed(a);
  CBFeed* feedB = addFeed(b);
  feedB->setMarkAllAsReadLastArticleDate(double(at(5).toMSecsSinceEpoch()) / 1000.0);
  const QList<CBDataArticle*> articles{addArticle(a, QStringLiteral("https://a.example/1"), at(-1), false),
                                       addArticle(a, QStringLiteral("https://a.example/2"), at(1), false),
                                       addArticle(b, QStringLiteral("https://b.example/1"), at(2))};  // no metadata
  save();
  QList<ZPHManagedObjectID> ids;
  for (const CBDataArticle* article : articles) ids.append(article->objectID());
  Recorder recorder(CBMultipleArticlesDidChangeReadStatusNotification);

  int saves = 0;
  onStoreQueue([&](ZPHManagedObjectContext& context) {
    QObject::connect(&context, &ZPHManagedObjectContext::objectsDidChange, [&] { ++saves; });
    CBDataArticle::operation_only_markArticles(CBDataArticle::articlesWithManagedObjectIDs(ids, &context), true,
                                               &context);
  });
  EXPECT_EQ(saves, 1);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recorder.count() == 1; }));
  EXPECT_TRUE(recorder.onMainThread.first());
  const QVariantList posted = recorder.notifications.first().userInfo.value(ZPHArticlesKey).toList();
  ASSERT_EQ(posted.size(), 3);
  EXPECT_EQ(posted.first().value<ZPHManagedObjectID>(), ids.first());

  {
    ZPHManagedObjectContext fresh(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    for (CBDataArticle* article : CBDataArticle::articlesWithManagedObjectIDs(ids, &fresh)) {
      EXPECT_TRUE(article->read()) << article->link().toStdString();
      EXPECT_TRUE(article->needsSync()) << article->link().toStdString();
    }
    EXPECT_EQ(CBFeed::feedWithURL(a, &fresh)->markAllAsReadLastArticleDate(),
              double(at(1).toMSecsSinceEpoch()) / 1000.0);
    // Never lowered.
    EXPECT_EQ(CBFeed::feedWithURL(b, &fresh)->markAllAsReadLastArticleDate(),
              double(at(5).toMSecsSinceEpoch()) / 1000.0);
  }
  Q_UNUSED(feedA);

  // Marking unread still raises the date to the newest article.
  CBDataArticle* later = addArticle(a, QStringLiteral("https://a.example/3"), at(3), true);
  save();
  const ZPHManagedObjectID laterID = later->objectID();
  onStoreQueue([&](ZPHManagedObjectContext& context) {
    CBDataArticle::operation_only_markArticles(CBDataArticle::articlesWithManagedObjectIDs({laterID}, &context), false,
                                               &context);
  });
  ZPHManagedObjectContext fresh(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
  EXPECT_EQ(CBFeed::feedWithURL(a, &fresh)->markAllAsReadLastArticleDate(), double(at(3).toMSecsSinceEpoch()) / 1000.0);
  EXPECT_FALSE(static_cast<CBDataArticle*>(fresh.existingObjectWithID(laterID))->read());
}

TEST_F(ArticlesTest, FlaggingPostsTheIdentifierOnTheMainThread)
{
  CBDataArticle* article =
      addArticle(QStringLiteral("https://f.example/rss"), QStringLiteral("https://f.example/1"), at(0));
  save();
  const ZPHManagedObjectID articleID = article->objectID();
  Recorder recorder(CBDataArticleFlaggedStatusDidChangeNotification);
  Recorder sync(ZPHSyncableArticleEventNotification);
  onStoreQueue([&](ZPHManagedObjectContext& context) {
    static_cast<CBDataArticle*>(context.existingObjectWithID(articleID))->operation_only_markAsFlagged(true);
  });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recorder.count() == 1; }));
  EXPECT_TRUE(recorder.onMainThread.first());
  EXPECT_EQ(recorder.notifications.first().object.value<ZPHManagedObjectID>(), articleID);
  EXPECT_TRUE(article->flagged());  // merged before the notice
  // The mark for sync comes with the save after the notice.
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return article->needsSync() && sync.count() >= 1; }));
  EXPECT_EQ(sync.count(), 1);  // announced once, after the save that set it

  onStoreQueue([&](ZPHManagedObjectContext& context) {
    static_cast<CBDataArticle*>(context.existingObjectWithID(articleID))->operation_only_markAsFlagged(true);
  });
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(recorder.count(), 1);
}

TEST_F(ArticlesTest, ShortMessageTransformsEscapeFeedText)
{
  CBDataArticle* article = CBDataArticle::insertArticleWithMOC(main.get());
  const QString html = QStringLiteral("look https://t.co/ab\"onmouseover=\"x()<script>y</script> end");
  EXPECT_EQ(article->injectShortLinkTransform(html), html);  // not a status page

  article->setPermalink(QStringLiteral("https://twitter.com/someone/status/1"));
  EXPECT_EQ(article->injectShortLinkTransform(QStringLiteral("see https://t.co/a?b=1&amp;c=2 now")),
            QStringLiteral("see <a href=\"https://t.co/a?b=1&amp;c=2\">https://t.co/a?b=1&amp;c=2</a> now"));
  const QString linked = article->injectShortLinkTransform(html);
  EXPECT_TRUE(linked.startsWith(QStringLiteral("look <a href=\"https://t.co/ab\">https://t.co/ab</a>")))
      << linked.toStdString();
  EXPECT_EQ(article->injectShortLinkTransform(QStringLiteral("<a href=\"x\">x</a> https://t.co/z")),
            QStringLiteral("<a href=\"x\">x</a> https://t.co/z"));

  // The picture comes from the address the page's rule gives, escaped; none
  // when the rule lets none through.
  article->setThumbnailURL(QStringLiteral("https://img.example/a.png\"><script>alert(1)</script>"));
  const QString byline = QStringLiteral("<div id=\"zphByline\">by</div>");
  QStringList asked;
  const QString withImage = article->injectTwitterImageTransform(byline, [&](const QString& address) {
    asked.append(address);
    return address;
  });
  EXPECT_EQ(withImage,
            QStringLiteral("<div id=\"zphByline\"><img src=\"https://img.example/a.png&quot;&gt;&lt;script&gt;"
                           "alert(1)&lt;/script&gt;\"/>&nbsp;by</div>"));
  EXPECT_EQ(asked, QStringList{article->thumbnailURL()});
  EXPECT_EQ(article->injectTwitterImageTransform(byline, [](const QString&) { return QString(); }), byline);
  EXPECT_EQ(article->injectTwitterImageTransform(byline, {}), byline);
}

TEST_F(ArticlesTest, EnclosuresByMediaTypeAndThoseNotInTheText)
{
  CBDataArticle* article =
      addArticle(QStringLiteral("https://f.example/"), QStringLiteral("https://f.example/1"), at(0));
  CBDataArticleContent* content = article->insertArticleContentWithMOC(main.get());
  content->setHtmlText(QStringLiteral("<img src=\"https://i.example/inline.png\">"));
  struct Enclosure {
    const char* url;
    int type;
    int size;
  } enclosures[] = {{"https://i.example/inline.png", 3, 900},
                    {"https://i.example/small.png", 3, 10},
                    {"https://i.example/big.png", 3, 500},
                    {"https://a.example/talk.mp3", 2, 1}};
  for (const Enclosure& e : enclosures) {
    ZPHManagedObject* enclosure = article->fetchOrInsertEnclosureWithURL(QUrl(QString::fromUtf8(e.url)), main.get());
    enclosure->setValue(QStringLiteral("mediaType"), e.type);
    enclosure->setValue(QStringLiteral("fileSize"), e.size);
  }
  EXPECT_EQ(article->fetchOrInsertEnclosureWithURL(QUrl(QStringLiteral("https://i.example/big.png")), main.get()),
            CBDataArticle::fetchEnclosureWithURL(QUrl(QStringLiteral("https://i.example/big.png")), main.get()));
  article->updateHasAudioAndVideoEnclosures();
  EXPECT_TRUE(article->hasAudioEnclosure());
  EXPECT_FALSE(article->hasVideoEnclosure());
  EXPECT_EQ(article->richestMediaEnclosure(), article->bestAudioEnclosure());
  EXPECT_EQ(article->allImageEnclosures().size(), 3);
  EXPECT_EQ(article->allImageEnclosuresNotInHTMLText().size(), 2);
  EXPECT_EQ(article->URLOfBiggestImageNotInHTMLText(), QStringLiteral("https://i.example/big.png"));
  article->setThumbnailURL(QStringLiteral("https://i.example/thumb.png"));
  EXPECT_FALSE(article->thumbnailAppearsInHTMLText());
  EXPECT_EQ(article->allImagesNotInHTMLText().size(), 3);
  EXPECT_EQ(article->fetchSetOfEnclosuresWithValue(2, QStringLiteral("mediaType")).size(), 1);
  EXPECT_EQ(article->URLOfBiggestImageInHTMLText(), QStringLiteral("https://i.example/inline.png"));
  content->setHtmlText(QStringLiteral("<p>no images</p>"));
  EXPECT_EQ(article->URLOfBiggestImageInHTMLText(), QStringLiteral("https://i.example/thumb.png"));
}

TEST_F(ArticlesTest, ReadChangesReachTheArticleThatHoldsTheMetadata)
{
  CBDataArticle* first =
      addArticle(QStringLiteral("https://f.example/"), QStringLiteral("https://f.example/1"), at(0), false);
  CBDataArticle* second =
      addArticle(QStringLiteral("https://f.example/"), QStringLiteral("https://f.example/2"), at(0));
  save();
  QStringList heard;
  const auto listen = [&heard](CBDataArticle* article, const QString& name) {
    return article->addChangeObserver([&heard, name](ZPHManagedObject*, const QString& key) {
      if (key == CBDataArticleReadKey)
        heard.append(name);
    });
  };
  listen(first, QStringLiteral("first"));
  listen(second, QStringLiteral("second"));
  ArticleMetadata* record = first->metadata();
  record->setRead(true);
  EXPECT_EQ(heard, QStringList{QStringLiteral("first")});

  // The record moves to the second article: only that one hears from now on.
  second->setMetadata(record);
  save();
  heard.clear();
  record->setRead(false);
  EXPECT_EQ(heard, QStringList{QStringLiteral("second")});
  EXPECT_EQ(first->metadata(), nullptr);
  EXPECT_FALSE(second->read());
}
