#pragma once

#include "store/graph/ZPHManagedObject.h"

// A stored browser tab (entity "ZPHTab"); the application adds behaviour.
class AbstractTab : public ZPHManagedObject {
public:
  // Attribute indexes (inherited attributes come first).
  enum AttributeIndex {
    PropertyGuid,
    PropertyUrl,
    PropertyTitle,
    PropertyIndex,
    PropertyIndexModDate,
    PropertyUrlModDate,
    PropertyModDate,
    PropertyDeleted,
    PropertyDisposable,
    PropertyNeedsSync,
    PropertyNeedsSyncChanged,
    AttributeCount
  };

  QString guid() const { return primitiveValue(PropertyGuid).toString(); }
  void setGuid(const QString& value) { setPrimitiveValue(PropertyGuid, value); }
  QString url() const { return primitiveValue(PropertyUrl).toString(); }
  void setUrl(const QString& value) { setPrimitiveValue(PropertyUrl, value); }
  QString title() const { return primitiveValue(PropertyTitle).toString(); }
  void setTitle(const QString& value) { setPrimitiveValue(PropertyTitle, value); }
  int index() const { return primitiveValue(PropertyIndex).toInt(); }
  void setIndex(int value) { setPrimitiveValue(PropertyIndex, value); }
  double indexModDate() const { return primitiveValue(PropertyIndexModDate).toDouble(); }
  void setIndexModDate(double value) { setPrimitiveValue(PropertyIndexModDate, value); }
  double urlModDate() const { return primitiveValue(PropertyUrlModDate).toDouble(); }
  void setUrlModDate(double value) { setPrimitiveValue(PropertyUrlModDate, value); }
  double modDate() const { return primitiveValue(PropertyModDate).toDouble(); }
  void setModDate(double value) { setPrimitiveValue(PropertyModDate, value); }
  bool deleted() const { return primitiveValue(PropertyDeleted).toBool(); }
  void setDeleted(bool value) { setPrimitiveValue(PropertyDeleted, value); }
  bool disposable() const { return primitiveValue(PropertyDisposable).toBool(); }
  void setDisposable(bool value) { setPrimitiveValue(PropertyDisposable, value); }
  bool needsSync() const { return primitiveValue(PropertyNeedsSync).toBool(); }
  void setNeedsSync(bool value) { setPrimitiveValue(PropertyNeedsSync, value); }
  bool needsSyncChanged() const { return primitiveValue(PropertyNeedsSyncChanged).toBool(); }
  void setNeedsSyncChanged(bool value) { setPrimitiveValue(PropertyNeedsSyncChanged, value); }
};
