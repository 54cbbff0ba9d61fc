#include "ArticleTestSupport.h"

#include <memory>

namespace {

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
