#pragma once

#include "feeds/images/CBWebCacheController.h"

// The web cache for downloads that must outlive cache clean-ups: the folder
// "CBPermanentWebCache" in the application's data folder. It shares the
// web cache's lock.
class CBPermanentWebCacheController : public CBWebCacheController {
public:
  static CBPermanentWebCacheController* sharedController();

  QString cacheFolderPath() const override;

protected:
  CBPermanentWebCacheController() = default;
};
