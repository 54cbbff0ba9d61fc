// Where a web view's page may go, without a web engine: scheme, navigation
// type, the user's input and modifiers, for the article page and a browser
// page.

#include "web/ZPHNavigationPolicy.h"

#include <gtest/gtest.h>

namespace {

using Action = ZPHNavigationPolicy::Action;
using Kind = ZPHNavigationPolicy::Kind;
using Type = ZPHNavigationPolicy::Type;

const QUrl kArticlePage(QStringLiteral("zph-article://0123456789abcdef0123456789abcdef/"));
const QUrl kWebPage(QStringLiteral("https://example.com/news/today"));

struct Case {
  const char* name;
  bool article;  // the article page (never navigates), else a browser page
  Kind kind;
  const char* url;
  Type type;
  bool mainFrame;
  bool input;
  Qt::KeyboardModifiers modifiers;
  bool middle;
  bool openLinksInBrowser;
  Action expected;
};

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;

const Case kCases[] = {
    // The article page: its own load, and links the user clicks.
    {"own load", true, Kind::Navigation, "zph-article://0123456789abcdef0123456789abcdef/", Type::Typed, true, false,
     kNone, false, false, Action::Load},
    {"own reload", true, Kind::Navigation, "zph-article://0123456789abcdef0123456789abcdef/", Type::Reload, true, false,
     kNone, false, false, Action::Load},
    {"an earlier render", true, Kind::Navigation, "zph-article://ffffffffffffffffffffffffffffffff/", Type::Typed, true,
     false, kNone, false, false, Action::Refuse},
    {"in-page jump", true, Kind::Navigation, "zph-article://0123456789abcdef0123456789abcdef/#zph-footnote",
     Type::LinkClicked, true, false, kNone, false, false, Action::Load},
    {"clicked http", true, Kind::Navigation, "http://example.com/a", Type::LinkClicked, true, true, kNone, false, false,
     Action::OpenURLRespectingPreferencesAndShortcuts},
    {"clicked https with Ctrl", true, Kind::Navigation, "https://example.com/a", Type::LinkClicked, true, true,
     Qt::ControlModifier, false, false, Action::OpenURLRespectingPreferencesAndShortcuts},
    {"shift-clicked https, links in the browser", true, Kind::Navigation, "https://example.com/a", Type::LinkClicked,
     true, true, Qt::ShiftModifier, false, true, Action::OpenURLInExternalBrowser},
    {"shift-clicked https, links in tabs", true, Kind::Navigation, "https://example.com/a", Type::LinkClicked, true,
     true, Qt::ShiftModifier, false, false, Action::OpenURLRespectingPreferencesAndShortcuts},
    {"clicked mailto", true, Kind::Navigation, "mailto:editor@example.com", Type::LinkClicked, true, true, kNone, false,
     false, Action::OpenMail},
    {"clicked feed", true, Kind::Navigation, "feed://example.com/rss", Type::LinkClicked, true, true, kNone, false,
     false, Action::Subscribe},
    {"clicked rss", true, Kind::Navigation, "rss:http://example.com/rss", Type::LinkClicked, true, true, kNone, false,
     false, Action::Subscribe},
    {"clicked feeds (not a feed scheme)", true, Kind::Navigation, "feeds://example.com/rss", Type::LinkClicked, true,
     true, kNone, false, false, Action::Refuse},
    {"clicked x-feed", true, Kind::Navigation, "x-feed://example.com/rss", Type::LinkClicked, true, true, kNone, false,
     false, Action::Refuse},
    {"clicked xhttp", true, Kind::Navigation, "xhttp://example.com/", Type::LinkClicked, true, true, kNone, false,
     false, Action::Refuse},
    {"clicked httpx", true, Kind::Navigation, "httpx://example.com/", Type::LinkClicked, true, true, kNone, false,
     false, Action::Refuse},
    {"clicked javascript", true, Kind::Navigation, "javascript:alert(1)", Type::LinkClicked, true, true, kNone, false,
     false, Action::Refuse},
    {"clicked data", true, Kind::Navigation, "data:text/html,<p>x</p>", Type::LinkClicked, true, true, kNone, false,
     false, Action::Refuse},
    {"clicked file", true, Kind::Navigation, "file:///etc/passwd", Type::LinkClicked, true, true, kNone, false, false,
     Action::Refuse},
    {"clicked ftp", true, Kind::Navigation, "ftp://example.com/x", Type::LinkClicked, true, true, kNone, false, false,
     Action::Refuse},
    {"scripted location change", true, Kind::Navigation, "http://example.com/a", Type::LinkClicked, true, false, kNone,
     false, false, Action::Refuse},
    {"scripted mailto", true, Kind::Navigation, "mailto:x@example.com", Type::LinkClicked, true, false, kNone, false,
     false, Action::Refuse},
    {"meta refresh", true, Kind::Navigation, "http://example.com/refreshed", Type::Redirect, true, false, kNone, false,
     false, Action::Refuse},
    {"other", true, Kind::Navigation, "https://example.com/", Type::Other, true, true, kNone, false, false,
     Action::Refuse},
    {"form", true, Kind::Navigation, "https://example.com/form", Type::FormSubmitted, true, true, kNone, false, false,
     Action::Refuse},
    {"typed elsewhere", true, Kind::Navigation, "https://example.com/", Type::Typed, true, false, kNone, false, false,
     Action::Refuse},
    {"frame", true, Kind::Navigation, "https://example.com/frame", Type::Other, false, false, kNone, false, false,
     Action::Refuse},
    {"ctrl-click window", true, Kind::NewWindow, "https://example.com/a", Type::Other, true, true, Qt::ControlModifier,
     false, false, Action::OpenURLRespectingPreferencesAndShortcuts},
    {"middle-click window", true, Kind::NewWindow, "https://example.com/a", Type::Other, true, true, kNone, true, false,
     Action::OpenURLRespectingPreferencesAndShortcuts},
    {"scripted window", true, Kind::NewWindow, "https://example.com/a", Type::Other, true, false, kNone, false, false,
     Action::Refuse},
    {"window for mailto", true, Kind::NewWindow, "mailto:x@example.com", Type::Other, true, true, Qt::ControlModifier,
     false, false, Action::OpenMail},
    {"window for data", true, Kind::NewWindow, "data:text/html,x", Type::Other, true, true, Qt::ControlModifier, false,
     false, Action::Refuse},
    {"window for an in-page link", true, Kind::NewWindow,
     "zph-article://0123456789abcdef0123456789abcdef/#zph-footnote", Type::Other, true, true, Qt::ControlModifier,
     false, false, Action::JumpInPage},
    {"no address", true, Kind::Navigation, "", Type::LinkClicked, true, true, kNone, false, false, Action::Refuse},

    // A browser page: web addresses load in place, links leave only for the
    // user.
    {"browser: clicked https", false, Kind::Navigation, "https://example.com/a", Type::LinkClicked, true, true, kNone,
     false, false, Action::Load},
    {"browser: ctrl-clicked https", false, Kind::Navigation, "https://example.com/a", Type::LinkClicked, true, true,
     Qt::ControlModifier, false, false, Action::OpenURLRespectingPreferencesAndShortcuts},
    {"browser: alt-clicked https", false, Kind::Navigation, "https://example.com/a", Type::LinkClicked, true, true,
     Qt::AltModifier, false, false, Action::OpenURLRespectingPreferencesAndShortcuts},
    {"browser: scripted https", false, Kind::Navigation, "https://example.com/a", Type::LinkClicked, true, false, kNone,
     false, false, Action::Load},
    {"browser: redirect to https", false, Kind::Navigation, "https://example.com/b", Type::Redirect, true, false, kNone,
     false, false, Action::Load},
    {"browser: redirect to mailto", false, Kind::Navigation, "mailto:x@example.com", Type::Redirect, true, false, kNone,
     false, false, Action::Refuse},
    {"browser: scripted ftp", false, Kind::Navigation, "ftp://example.com/x", Type::Other, true, false, kNone, false,
     false, Action::Refuse},
    {"browser: clicked ftp", false, Kind::Navigation, "ftp://example.com/x", Type::LinkClicked, true, true, kNone,
     false, false, Action::Refuse},
    {"browser: blank page", false, Kind::Navigation, "about:blank", Type::Typed, true, false, kNone, false, false,
     Action::Load},
    {"browser: web frame", false, Kind::Navigation, "https://ads.example.com/", Type::Other, false, false, kNone, false,
     false, Action::Load},
    {"browser: data frame", false, Kind::Navigation, "data:text/html,x", Type::Other, false, false, kNone, false, false,
     Action::Refuse},
    {"browser: clicked feed", false, Kind::Navigation, "feed://example.com/rss", Type::LinkClicked, true, true, kNone,
     false, false, Action::Subscribe},
    {"browser: plain window link", false, Kind::NewWindow, "https://example.com/a", Type::Other, true, true, kNone,
     false, false, Action::Load},
};

TEST(NavigationPolicyTest, DecidesEachCase)
{
  for (const Case& test : kCases) {
    ZPHNavigationPolicy::Request request;
    request.kind = test.kind;
    request.url = QUrl(QString::fromUtf8(test.url));
    request.type = test.type;
    request.isMainFrame = test.mainFrame;
    request.followsUserInput = test.input;
    request.modifiers = test.modifiers;
    request.middleButton = test.middle;
    request.openLinksInBrowser = test.openLinksInBrowser;
    request.pageNeverNavigates = test.article;
    request.currentPageURL = test.article ? kArticlePage : kWebPage;
    request.ownLoadURL = test.article ? kArticlePage : QUrl();
    const ZPHNavigationPolicy::Decision decision = ZPHNavigationPolicy::decide(request);
    EXPECT_EQ(decision.action, test.expected) << test.name << ": " << ZPHNavigationPolicy::actionName(decision.action)
                                              << " instead of " << ZPHNavigationPolicy::actionName(test.expected);
    if (decision.action == Action::Refuse) {
      EXPECT_FALSE(decision.reason.isEmpty()) << test.name;
    }
  }
}

TEST(NavigationPolicyTest, AScriptsWindowIsATabOnlyForTheUsersInputAndAWebAddressOrNone)
{
  struct WindowCase {
    const char* url;
    bool userInput;  // the user's click or key on a chosen element came just before
    Action expected;
  } cases[] = {
      {"https://example.com/popup", true, Action::OpenInNewTab},
      {"", true, Action::OpenInNewTab},
      {"about:blank", true, Action::OpenInNewTab},
      {"about:blank#blocked", true, Action::OpenInNewTab},
      {"https://example.com/popup", false, Action::Refuse},
      {"", false, Action::Refuse},
      {"mailto:x@example.com", true, Action::Refuse},
      {"feed://example.com/rss", true, Action::Refuse},
      {"javascript:alert(1)", true, Action::Refuse},
      {"file:///etc/passwd", true, Action::Refuse},
      {"about:srcdoc", true, Action::Refuse},
  };
  for (const bool article : {false, true}) {
    for (const WindowCase& c : cases) {
      ZPHNavigationPolicy::Request request;
      request.kind = Kind::NewWindow;
      request.url = QUrl(QString::fromLatin1(c.url));
      request.scriptWindowFollowsUserInput = c.userInput;
      request.pageNeverNavigates = article;
      request.currentPageURL = article ? kArticlePage : kWebPage;
      EXPECT_EQ(ZPHNavigationPolicy::decide(request).action, c.expected) << c.url << " " << c.userInput;
    }
  }
}

TEST(NavigationPolicyTest, SchemesAreComparedWhole)
{
  // QUrl gives schemes in lower case.
  EXPECT_TRUE(ZPHNavigationPolicy::isWebScheme(QUrl(QStringLiteral("HTTPS://example.com/")).scheme()));
  for (const char* scheme : {"xhttp", "httpx", "https2", "shttp", ""})
    EXPECT_FALSE(ZPHNavigationPolicy::isWebScheme(QString::fromLatin1(scheme))) << scheme;
  for (const char* scheme : {"feeds", "x-feed", "itpc", "feedx", ""})
    EXPECT_FALSE(ZPHNavigationPolicy::isFeedScheme(QString::fromLatin1(scheme))) << scheme;
  EXPECT_TRUE(ZPHNavigationPolicy::isSameDocument(QUrl(QStringLiteral("zph-article://a/#x")),
                                                  QUrl(QStringLiteral("zph-article://a/"))));
  EXPECT_FALSE(ZPHNavigationPolicy::isSameDocument(QUrl(QStringLiteral("zph-article://a/x")),
                                                   QUrl(QStringLiteral("zph-article://a/"))));
}

TEST(NavigationPolicyTest, AMailLinkHandsOutOnlyRecipientsSubjectAndBody)
{
  struct MailCase {
    const char* link;
    const char* handedOut;  // "" for nothing
  } cases[] = {
      {"mailto:editor@example.com", "mailto:editor@example.com"},
      {"mailto:a@example.com?attach=/etc/passwd&subject=Hi", "mailto:a@example.com?subject=Hi"},
      {"mailto:a@example.com?ATTACHMENT=%2Fhome%2Fme%2F.ssh%2Fid_rsa&Attach=~/.gnupg&body=x",
       "mailto:a@example.com?body=x"},
      {"mailto:a@example.com?bcc=hidden@example.com&In-Reply-To=%3Cx%3E&X-Mailer=evil", "mailto:a@example.com"},
      {"mailto:?to=a@example.com,b@example.com&cc=c@example.com&subject=Re%3A%20a%26b%3Dc%2B1&body=line%0Atwo",
       "mailto:a@example.com,b@example.com?subject=Re%3A%20a%26b%3Dc%2B1&body=line%0Atwo&cc=c@example.com"},
      {"mailto:a@example.com?subject=first&subject=second", "mailto:a@example.com?subject=first"},
      // Only plain addresses are recipients.
      {"mailto:--attach=/etc/passwd@example.com", ""},
      {"mailto:a@example.com,-x@example.com,b%20c@example.com,%3Ce@example.com%3E", "mailto:a@example.com"},
      {"mailto:nobody", ""},
      {"mailto:?attach=/etc/passwd", ""},
      {"mailto:?subject=Only%20a%20subject", "mailto:?subject=Only%20a%20subject"},
      {"https://example.com/?attach=x", ""},
      {"", ""},
  };
  for (const MailCase& c : cases) {
    const QUrl url(QString::fromLatin1(c.link));
    EXPECT_EQ(ZPHNavigationPolicy::mailURLForMailClient(url).toString(QUrl::FullyEncoded).toStdString(), c.handedOut)
        << c.link;
  }
}

}  // namespace
