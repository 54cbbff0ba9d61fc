#pragma once

// Qt kind: QObject.

#include "browser/ZPHTab.h"

#include <functional>

// The tab that stands for the article list and the article view: always the
// first tab, never closed, moved or deleted. Its picture is the article
// list delegate's (set as a provider). Main thread only.
class ZPHNewsItemsTab : public ZPHTab {
  Q_OBJECT

public:
  explicit ZPHNewsItemsTab(QObject* parent = nullptr) : ZPHTab(parent) {}

  bool isBrowserTab() const override { return false; }
  // "News Items".
  QString displayTitle() override;
  QImage thumbnailImage() const override { return m_thumbnailProvider ? m_thumbnailProvider() : QImage(); }
  void setThumbnailProvider(std::function<QImage()> provider) { m_thumbnailProvider = std::move(provider); }

private:
  std::function<QImage()> m_thumbnailProvider;
};
