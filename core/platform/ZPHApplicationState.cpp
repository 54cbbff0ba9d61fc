#include "platform/ZPHApplicationState.h"

#include <atomic>

namespace {
std::atomic<ZPHApplicationState::ShuttingDownQuery> g_shuttingDown{nullptr};
std::atomic<ZPHApplicationState::DataFolderQuery> g_dataFolder{nullptr};
}  // namespace

void ZPHApplicationState::install(ShuttingDownQuery shuttingDown, DataFolderQuery dataFolder)
{
  g_shuttingDown.store(shuttingDown);
  g_dataFolder.store(dataFolder);
}

bool ZPHApplicationState::isShuttingDown()
{
  const ShuttingDownQuery query = g_shuttingDown.load();
  return query != nullptr && query();
}

QString ZPHApplicationState::dataFolder()
{
  const DataFolderQuery query = g_dataFolder.load();
  return query != nullptr ? query() : QString();
}
