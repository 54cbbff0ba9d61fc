#include "platform/ZPHApplicationState.h"

#include "platform/ZPHPasswordStore.h"

#include <atomic>

namespace {
std::atomic<ZPHApplicationState::ShuttingDownQuery> g_shuttingDown{nullptr};
std::atomic<ZPHApplicationState::DataFolderQuery> g_dataFolder{nullptr};
}  // namespace

void ZPHApplicationState::install(ShuttingDownQuery shuttingDown, DataFolderQuery dataFolder)
{
  g_shuttingDown.store(shuttingDown);
  g_dataFolder.store(dataFolder);
  // The application starts: the password store is chosen now, away from
  // the main thread, so that no later caller waits for the probe.
  if (dataFolder != nullptr)
    ZPHPasswordStore::prepareDefaultStore();
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
