#include "ArticleTestSupport.h"

#include "articleview/ZPHArticleSchemeHandler.h"
#include "web/ZPHInternalSchemes.h"

#include <memory>

namespace {

// What main() does before the application object: the internal schemes and
// the article page's.
void registerSchemes()
{
  // A web host that is not the loopback address to the engine, though it
  // resolves to it: pages see its pictures as they see the web's.
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  flags += " --host-resolver-rules=\"MAP *.zephlin.test 127.0.0.1\"";
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
  ZPHInternalSchemes::registerSchemes();
  ZPHArticleSchemeHandler::registerScheme();
}

[[maybe_unused]] const ZPHTestBeforeApplication schemeRegistration(&registerSchemes);

class ArticleTestEnvironment : public ::testing::Environment {
public:
  void SetUp() override { delegate(); }
  void TearDown() override { delegate().useDataController(nullptr); }

  static ZPHTestApplicationDelegate& delegate()
  {
    static ZPHTestApplicationDelegate* const instance = new ZPHTestApplicationDelegate;
    return *instance;
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ArticleTestEnvironment);

}  // namespace

ZPHTestApplicationDelegate& articleTestDelegate() { return ArticleTestEnvironment::delegate(); }
