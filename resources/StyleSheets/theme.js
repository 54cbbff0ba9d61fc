// The article page's script. It runs in the application's script world,
// never in the page's (whose scripts are off): it sees the page's elements
// but none of the page's script globals, and the page cannot see it. The
// application calls the functions below with runJavaScript in the same
// world; the page's controls reach the application through the
// "ArticleWebConsole" object of the web channel, when there is one.
(function () {
  'use strict';

  var articleConsole = null;

  function connect() {
    if (typeof QWebChannel !== 'function' || typeof qt === 'undefined' || !qt.webChannelTransport)
      return;
    new QWebChannel(qt.webChannelTransport, function (channel) {
      articleConsole = channel.objects.ArticleWebConsole || null;
      if (articleConsole && typeof articleConsole.webViewReady === 'function')
        articleConsole.webViewReady();
    });
  }

  function call(name) {
    if (!articleConsole || typeof articleConsole[name] !== 'function')
      return;
    articleConsole[name].apply(articleConsole, Array.prototype.slice.call(arguments, 1));
  }

  function article() {
    return document.getElementById('article');
  }

  // The sub-theme style sheet: light, dark.
  window.setSubthemeStylesheet = function (url) {
    var link = document.getElementById('subthemeStylesheet');
    if (link)
      link.setAttribute('href', String(url));
  };

  window.updateArticleFlaggedState = function (flagged) {
    var element = article();
    if (!element)
      return;
    element.classList.toggle('newsItemFlagActive', !!flagged);
    element.classList.toggle('newsItemFlagInactive', !flagged);
  };

  // Pictures fit the column (1) or keep their size (0).
  window.setPictureLayout = function (layout) {
    var on = Number(layout) !== 0;
    document.body.classList.toggle('pictureLayout-true', on);
    document.body.classList.toggle('pictureLayout-false', !on);
  };

  // The article column's distance from the page's left edge, in pixels.
  window.leftMarginWidth = function () {
    var element = article();
    return element ? element.getBoundingClientRect().left : 0;
  };

  // Four em of the article's text, in pixels.
  window.fourEmWidth = function () {
    var element = article();
    if (!element)
      return 0;
    var probe = document.createElement('div');
    probe.style.cssText = 'position:absolute;visibility:hidden;width:4em;height:0;padding:0;border:0';
    element.appendChild(probe);
    var width = probe.getBoundingClientRect().width;
    element.removeChild(probe);
    return width;
  };

  window.hideShareControlForSharedArticle = function () {
    var control = document.getElementById('shareControl');
    if (control)
      control.classList.remove('active');
  };

  // Marks every occurrence of `term` (ignoring case) in the text below the
  // element with `elementId` with a span of class `className`; earlier marks
  // go first. Answers the number of occurrences.
  window.doHighlight = function (elementId, className, term) {
    var root = document.getElementById(String(elementId));
    var marks = document.querySelectorAll('span.' + className);
    for (var i = 0; i < marks.length; ++i) {
      var mark = marks[i];
      mark.replaceWith(document.createTextNode(mark.textContent));
    }
    if (root)
      root.normalize();
    term = String(term || '');
    if (!root || term.length === 0)
      return 0;
    var needle = term.toLocaleLowerCase();
    var walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT, null);
    var nodes = [];
    while (walker.nextNode())
      nodes.push(walker.currentNode);
    var count = 0;
    nodes.forEach(function (node) {
      var text = node.nodeValue;
      var lower = text.toLocaleLowerCase();
      if (lower.length !== text.length)
        return;
      var at = lower.indexOf(needle);
      if (at < 0)
        return;
      var fragment = document.createDocumentFragment();
      var from = 0;
      while (at >= 0) {
        fragment.appendChild(document.createTextNode(text.slice(from, at)));
        var span = document.createElement('span');
        span.className = className;
        span.textContent = text.slice(at, at + needle.length);
        fragment.appendChild(span);
        ++count;
        from = at + needle.length;
        at = lower.indexOf(needle, from);
      }
      fragment.appendChild(document.createTextNode(text.slice(from)));
      node.parentNode.replaceChild(fragment, node);
    });
    return count;
  };

  function installControls() {
    var flag = document.getElementById('flagControl');
    if (flag) {
      flag.addEventListener('click', function (event) {
        event.preventDefault();
        call('toggleFlaggedForSelectedArticle');
      });
    }
    var share = document.getElementById('shareControl');
    if (share) {
      share.addEventListener('click', function (event) {
        event.preventDefault();
        var box = share.getBoundingClientRect();
        share.classList.add('active');
        call('shareSelectedArticleFromClientXClientYElementWidthElementHeight', box.left, box.top, box.width,
             box.height);
      });
    }
  }

  if (document.readyState === 'loading')
    document.addEventListener('DOMContentLoaded', installControls);
  else
    installControls();
  connect();
})();
