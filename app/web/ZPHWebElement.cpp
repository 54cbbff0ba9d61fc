#include "web/ZPHWebElement.h"

#include <QtWebEngineCore/QWebEngineContextMenuRequest>

ZPHWebElement ZPHWebElement::fromContextMenuRequest(const QWebEngineContextMenuRequest& request)
{
  ZPHWebElement element;
  element.linkURL = request.linkUrl();
  element.linkText = request.linkText();
  element.isImage = request.mediaType() == QWebEngineContextMenuRequest::MediaTypeImage;
  if (element.isImage)
    element.imageURL = request.mediaUrl();
  element.isPlugin = request.mediaType() == QWebEngineContextMenuRequest::MediaTypePlugin;
  element.selectedText = request.selectedText();
  element.position = request.position();
  return element;
}
