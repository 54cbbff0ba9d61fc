#!/usr/bin/env bash
# Writes screenshots of what a user sees, so a person can look at them:
#   scripts/screenshots.sh [OUT]      (default OUT: build/screenshots)
#
# Serves synthetic feeds on 127.0.0.1 (tests/tools/feedfarm.py) and four small
# sites with favicons and articles of today on 127.0.0.2 to 127.0.0.5 (the
# first also serves a feed without articles and a hostile one), builds
# a data folder from them through the core library (refresh_bench subscribes
# and refreshes into it; one address answers 404), then starts zephlin
# headless on a fresh copy of that folder for each picture, with --screenshot
# and a --screenshot-state that puts it into the state shown:
#   OUT/main-light.png        folders open and closed, Favorites open, badges,
#                             favicons, an error button, a suspended feed,
#                             "Refreshing Sites…"
#   OUT/main-dark.png         the same in the dark theme
#   OUT/unread-sites.png      read sites hidden ("UNREAD SITES")
#   OUT/no-unread-sites.png   everything read and hidden ("(NO UNREAD SITES)",
#                             "Show Read")
#   OUT/bezel.png             a bezel over the window
#   OUT/offline.png           "No Internet Connection"
#   OUT/articles-standard.png a folder in the standard layout: date groups,
#                             feed names, favicons, thumbnails, a bookmark,
#                             a selected read article
#   OUT/articles-classic.png  the same in the classic layout
#   OUT/articles-dark.png     the standard layout in the dark theme
#   OUT/search.png            search results, the options window and the
#                             "Search:" pop-up
#   OUT/context-menu.png      the article list's menu
#   OUT/empty-feed.png        a feed without articles
#   OUT/article-light.png     an article's page in the classic layout, light
#   OUT/article-dark.png      the same in the dark theme
#   OUT/article-find.png      the page's find bar with its count of matches
#   OUT/article-hostile.png   an article of a hostile feed (standard
#                             layout): its markup, scripts and placeholders
#                             shown as text
#   OUT/folder-menu.png       a folder's context menu
#   OUT/gear-menu.png         the gear button's menu for a feed
#   OUT/remove-sheet.png      the box asking before a folder is removed
#   OUT/rename.png            a feed's row being renamed
#   OUT/customize-toolbar.png "Customize Toolbar…"
#   OUT/toolbar-text-only.png the toolbar showing text only, its menu open
#   OUT/share-popover.png     the toolbar's sharing popover for a link that is
#                             no web address: its groups, grey rows, the
#                             read-later row's clear-credentials button
#   OUT/share-popover-dark.png the same in the dark theme
#   OUT/share-submenu.png     the article list's menu with its Share submenu
#   OUT/share-page.png        the popover at the article page's share control
#   OUT/share-login.png       the read-later login in the popover, refused
#   OUT/feeds-1000.png        a thousand feeds in a window of 1,600 by 1,000:
#                             the source list's first rows in view, the
#                             article list as wide as it was left, and
#                             "Refreshing Sites…" whole in the status area
#   OUT/tab-feed-menu.png     a browser tab: its feed button's menu and the
#                             find bar with its count
#   OUT/tabs-thumbnails.png   the tabs column as pictures, the news items shown
#   OUT/tabs-labels.png       the tabs column as titles, a tab shown
#   OUT/tab-indicator.png     the column hidden and the tab indicator over the
#                             article view
#   OUT/tab-dark.png          a tab in the dark theme
#   OUT/add-site-address.png  the Add Site window's address pane, empty
#   OUT/add-site-error.png    the address pane with the finder's error
#   OUT/add-site-found.png    found feeds of a page, one "Already Added"
#   OUT/add-site-popular.png  the popular-sites pane (and -popular-dark)
#   OUT/add-site-errors.png   the list of sites that could not be added
#   OUT/add-folder.png        the New Folder sheet
#   OUT/importing-opml.png    "Importing OPML…" in the status area
#   OUT/import-bezel.png      the bezel of a finished import
#   OUT/import-error.png      the alert of a file that is not OPML
# Menus, badge and windows:
#   OUT/titled-window.png     the window's title with the unread count
#   OUT/site-menu.png         the Site menu with the selected feed's commands
#   OUT/style-popover-light.png, OUT/style-popover-dark.png   the style popover
#   OUT/preferences-general.png, OUT/preferences-reading.png  the two panes
#   OUT/credentials-sheet.png a refresh's login sheet
#   OUT/merge-or-purge.png    the first sync's question
#   OUT/welcome.png           the welcome window of a first run (a fresh folder)
#   OUT/about.png             the About window with the license agreement
#   OUT/mail-not-opened.png   "Mail Link" with no mail program: the status line
# Every folder but the welcome window's is past its first run, and none
# offers to become the default feed reader.
# The toolbar shows in each; in main-light and main-dark Refresh is turning.
# Fails when a picture is missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

OUT="$(mkdir -p "${1:-$ZPH_ROOT/build/screenshots}" && cd "${1:-$ZPH_ROOT/build/screenshots}" && pwd)"

"$ZPH_ROOT/scripts/deps.sh"

BUILD="$ZPH_ROOT/build/release"
cmake -S "$ZPH_ROOT" -B "$BUILD" $(zph_generator) -DCMAKE_BUILD_TYPE=Release -DZPH_BUILD_TESTS=OFF \
  -DZPH_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" --target zephlin refresh_bench -j "$(zph_jobs)"

WORK="$(mktemp -d)"
PIDS=()
# Every process of this run has $WORK in its environment (exported below),
# also one that outlives the program that started it, such as a web page
# process of a zephlin that has ended.
processes_of_this_run() {
  local entry pid
  for entry in /proc/[0-9]*; do
    pid="${entry#/proc/}"
    [ "$pid" = "$$" ] || [ "$pid" = "$BASHPID" ] && continue
    grep -qzF "XDG_RUNTIME_DIR=$WORK/" "$entry/environ" 2>/dev/null && echo "$pid"
  done
}
cleanup() {
  for pid in "${PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  # What may still write into the folder ends before the folder goes.
  local pid
  for pid in $(processes_of_this_run); do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $(processes_of_this_run); do
    timeout 30 tail --pid="$pid" -f /dev/null || kill -9 "$pid" 2>/dev/null || true
  done
  rm -rf "$WORK"
}
trap cleanup EXIT

# Nothing of these runs lands in the user's own settings, caches or runtime
# folder.
export XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" XDG_DATA_HOME="$WORK/share"
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
# Headless whatever session it is started from: no display in reach.
unset DISPLAY WAYLAND_DISPLAY
unset ZEPHLIN_DATA_DIR
# The web engine refuses to start its sandbox as root (as in a container).
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi

wait_for_file() {
  for _ in $(seq 1 100); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  echo "screenshots: $2 did not start" >&2
  cat "$3" >&2
  exit 1
}

python3 "$ZPH_ROOT/tests/tools/feedfarm.py" --port 0 --port-file "$WORK/farm.port" --feeds 12 --items 15 \
  --max-seconds 600 >"$WORK/farm.log" 2>&1 &
PIDS+=($!)
wait_for_file "$WORK/farm.port" "the feed farm" "$WORK/farm.log"
FARM="http://127.0.0.1:$(cat "$WORK/farm.port")"

# Four sites of their own, each on its own loopback address (so each has its
# own favicon), with a few articles published today.
cat >"$WORK/sites.py" <<'PY'
import struct, sys, threading, time, zlib, email.utils
from http.server import ThreadingHTTPServer, BaseHTTPRequestHandler

SITES = [("127.0.0.2", "harbor", "Harbor Notes", (32, 110, 180), 6),
         ("127.0.0.3", "lantern", "Copper Lantern Daily", (214, 110, 40), 3),
         ("127.0.0.4", "meadow", "Meadow Review", (60, 150, 80), 9),
         ("127.0.0.5", "quartz", "Quartz Weekly", (150, 70, 170), 2)]

def png(color, size=32):
    # A rounded tile in the site's colour with a white dot in the middle.
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            cx, cy = x - size / 2 + 0.5, y - size / 2 + 0.5
            corner = max(abs(cx), abs(cy)) > size / 2 - 1 and (abs(cx) > size / 2 - 5 and abs(cy) > size / 2 - 5) \
                and (abs(cx) - (size / 2 - 5)) ** 2 + (abs(cy) - (size / 2 - 5)) ** 2 > 16
            if corner:
                row += bytes((0, 0, 0, 0))
            elif cx * cx + cy * cy < (size / 5) ** 2:
                row += bytes((255, 255, 255, 255))
            else:
                row += bytes(color + (255,))
        rows.append(bytes(row))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))

LOREM = ["The harbour lights came on early as the fog rolled in over the old quay and the boats.",
         "A short walk through the market turned into a long afternoon of tasting and talking.",
         "Engineers finished the new bridge ahead of schedule, and the first cyclists crossed at dawn.",
         "The museum reopened its east wing with a small exhibition of maps drawn by hand.",
         "Rain is expected for most of the week, with clearer skies by the weekend.",
         "Local musicians gathered in the square for an evening of songs about the sea.",
         "The library extended its hours for the exam season and added quiet rooms upstairs."]

def handler(host, slug, title, color, items):
    class H(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        def log_message(self, *a):
            pass
        def send(self, body, ctype, code=200):
            self.send_response(code)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        def do_GET(self):
            base = f"http://{host}:{self.server.server_address[1]}"
            if self.path == f"/{slug}.xml":
                now = time.time()
                # One story of today, one of yesterday, the rest of last month (so a folder of these
                # sites shows several date groups); each with a picture.
                def when(i):
                    return now - 600 if i == 0 else (now - 86400 - 3600 if i == 1 else now - 86400 * (25 + i))
                entries = "".join(
                    f"<item><title>{title} story {i + 1}</title><link>{base}/story/{i}</link>"
                    f"<guid>{slug}-{i}</guid><pubDate>{email.utils.formatdate(when(i), usegmt=True)}</pubDate>"
                    f"<description>&lt;p&gt;{LOREM[i % len(LOREM)]}&lt;/p&gt;&lt;img src=\"{base}/img/{i}.png\"&gt;"
                    f"</description></item>" for i in range(items))
                feed = (f"<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>{title}"
                        f"</title><link>{base}/</link>{entries}</channel></rss>")
                return self.send(feed.encode(), "application/rss+xml")
            if self.path == "/hostile.xml":
                # Everything a feed should not be trusted with; the page shows it as text and runs none of it.
                hostile_title = ("Hostile &lt;b&gt;bold?&lt;/b&gt; &lt;script&gt;document.title='owned'&lt;/script&gt; "
                         "[[newsitem_title]] {{stylesheet_url}}")
                body = ("&lt;p&gt;Only this paragraph, the list and the web link below should show as content."
                        "&lt;/p&gt;&lt;script&gt;document.body.innerHTML='owned'&lt;/script&gt;"
                        "&lt;style&gt;body { background: red !important; }&lt;/style&gt;"
                        "&lt;iframe src=\"http://127.0.0.1:1/\"&gt;&lt;/iframe&gt;"
                        f"&lt;img src=\"{base}/img/1.png\" onerror=\"document.body.innerHTML='owned'\"&gt;"
                        "&lt;ul&gt;&lt;li&gt;[[newsitem_title]] and {{article_width}} stay as typed&lt;/li&gt;"
                        "&lt;li&gt;&lt;a href=\"javascript:alert(1)\"&gt;a script link, unlinked&lt;/a&gt;&lt;/li&gt;"
                        f"&lt;li&gt;&lt;a href=\"{base}/story/0\"&gt;a web link&lt;/a&gt;&lt;/li&gt;&lt;/ul&gt;"
                        "&lt;form action=\"http://127.0.0.1:1/\"&gt;&lt;input value=\"a form\"&gt;&lt;/form&gt;"
                        "&lt;/div&gt;&lt;/body&gt;&lt;/html&gt;&lt;script&gt;document.title='owned'&lt;/script&gt;")
                feed = (f"<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                        f"<title>Hostile Corner &lt;i&gt;it&lt;/i&gt;</title><link>{base}/</link><item><title>{hostile_title}</title>"
                        f"<link>{base}/story/0</link><guid>hostile-0</guid>"
                        f"<pubDate>{email.utils.formatdate(time.time() - 300, usegmt=True)}</pubDate>"
                        f"<author>x@example.com (&lt;b&gt;Mallory&lt;/b&gt;)</author>"
                        f"<description>{body}</description></item></channel></rss>")
                return self.send(feed.encode(), "application/rss+xml")
            # Adding sites: a page that announces three feeds, the first subscribed already.
            if self.path == "/links.html":
                page = (f"<!DOCTYPE html><html><head><title>{title} &amp; Friends</title>"
                        f"<link rel=\"alternate\" type=\"application/rss+xml\" title=\"{title}\" href=\"/{slug}.xml\">"
                        f"<link rel=\"alternate\" type=\"application/rss+xml\" title=\"More\" href=\"/more.xml\">"
                        f"<link rel=\"alternate\" type=\"application/atom+xml\" title=\"Digest\" href=\"/digest.xml\">"
                        f"</head><body></body></html>")
                return self.send(page.encode(), "text/html; charset=utf-8")
            if self.path in ("/more.xml", "/digest.xml"):
                name = "More from " + title if self.path == "/more.xml" else title + " Digest"
                feed = (f"<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                        f"<title>{name}</title><link>{base}/</link></channel></rss>")
                return self.send(feed.encode(), "application/rss+xml")
            if self.path == "/empty.xml":
                feed = (f"<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                        f"<title>Quiet Corner</title><link>{base}/</link></channel></rss>")
                return self.send(feed.encode(), "application/rss+xml")
            if self.path.startswith("/img/") and self.path.endswith(".png"):
                n = int(self.path[5:-4] or 0)
                shade = tuple(min(255, c + 18 * (n % 5)) for c in color)
                return self.send(png(shade, 96), "image/png")
            if self.path == "/":
                page = (f"<!DOCTYPE html><html><head><title>{title}</title>"
                        f"<link rel=\"icon\" type=\"image/png\" href=\"/favicon.png\"></head><body></body></html>")
                return self.send(page.encode(), "text/html; charset=utf-8")
            if self.path in ("/favicon.png", "/favicon.ico"):
                return self.send(png(color), "image/png")
            # Browser tabs: a page that offers the site's feeds, and the stories' pages.
            if self.path == "/news.html" or self.path.startswith("/story/"):
                paras = "".join(f"<p>{LOREM[(i + len(self.path)) % len(LOREM)]}</p>" for i in range(6))
                heading = title if self.path == "/news.html" else f"{title}: a story"
                page = (f"<!DOCTYPE html><html><head><title>{heading} &amp; more</title>"
                        f"<link rel=\"icon\" type=\"image/png\" href=\"/favicon.png\">"
                        f"<link rel=\"alternate\" type=\"application/rss+xml\" title=\"{title} &amp; Comments\" "
                        f"href=\"/{slug}.xml\"><link rel=\"alternate\" type=\"application/atom+xml\" "
                        f"title=\"{title} (Atom)\" href=\"/{slug}-atom.xml\"><style>body {{ font-family: sans-serif; "
                        f"margin: 1.5em 2.5em; color: #222; }} h1 {{ color: rgb{color}; }}</style></head><body>"
                        f"<h1>{heading}</h1><img src=\"/img/2.png\" width=\"240\" height=\"120\">{paras}"
                        f"<p><a href=\"/{slug}.xml\">Subscribe</a> &middot; <a href=\"/\">Home</a></p></body></html>")
                return self.send(page.encode(), "text/html; charset=utf-8")
            return self.send(b"not here", "text/plain", 404)
    return H

lines = []
for host, slug, title, color, items in SITES:
    server = ThreadingHTTPServer((host, 0), handler(host, slug, title, color, items))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    lines.append(f"http://{host}:{server.server_address[1]}/{slug}.xml")
    if slug == "harbor":
        lines.append(f"http://{host}:{server.server_address[1]}/empty.xml")
        lines.append(f"http://{host}:{server.server_address[1]}/hostile.xml")
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write("\n".join(lines) + "\n")
import os
os.replace(sys.argv[1] + ".tmp", sys.argv[1])
time.sleep(float(sys.argv[2]))
PY
python3 "$WORK/sites.py" "$WORK/sites.txt" 600 >"$WORK/sites.log" 2>&1 &
PIDS+=($!)
wait_for_file "$WORK/sites.txt" "the favicon sites" "$WORK/sites.log"

curl_urls() { python3 -c "import urllib.request,sys; sys.stdout.write(urllib.request.urlopen(sys.argv[1]).read().decode())" "$1"; }
{
  curl_urls "$FARM/urls.txt"
  cat "$WORK/sites.txt"
  echo "$FARM/feed/404.xml"
} >"$WORK/urls.txt"

DATA="$WORK/zephlin"
"$BUILD/bin/refresh_bench" --data-dir "$DATA" --urls "$WORK/urls.txt" --rounds 1 >"$WORK/refresh.log"

# The folders and marks every picture starts from.
FOLDERS='"folders": [
  {"name": "Technology", "feeds": ["/feed/0.xml", "/feed/1.xml", "/feed/2.xml", "/lantern.xml"], "open": true},
  {"name": "Reading", "feeds": ["/feed/3.xml", "/feed/4.xml", "/feed/5.xml"], "open": true},
  {"name": "Archive", "feeds": ["/feed/6.xml", "/feed/7.xml", "/feed/8.xml"], "open": false}],
  "favorites": ["/harbor.xml", "/feed/3.xml"],
  "suspended": ["/feed/11.xml"],
  "openFavorites": true'
cat >"$WORK/main.json" <<JSON
{ $FOLDERS, "markRead": ["/feed/9.xml"], "select": "/meadow.xml", "refresh": "during" }
JSON
cat >"$WORK/unread.json" <<JSON
{ $FOLDERS, "markRead": ["/feed/0.xml", "/feed/4.xml", "/feed/9.xml", "/feed/10.xml", "/quartz.xml"],
  "hideRead": true, "select": "/feed/1.xml" }
JSON
cat >"$WORK/nounread.json" <<JSON
{ $FOLDERS, "markRead": "all", "hideRead": true }
JSON
cat >"$WORK/bezel.json" <<JSON
{ $FOLDERS, "select": "/harbor.xml", "bezel": {"text": "Sites Added", "image": "BezelNotificationSitesAdded"} }
JSON
cat >"$WORK/offline.json" <<JSON
{ $FOLDERS, "offline": true }
JSON
# The article list: a folder of the sites with pictures and favicons.
ARTICLES='"folders": [
  {"name": "Daily", "feeds": ["/harbor.xml", "/meadow.xml", "/quartz.xml", "/lantern.xml"], "open": true},
  {"name": "Technology", "feeds": ["/feed/0.xml", "/feed/1.xml", "/feed/2.xml"], "open": true},
  {"name": "Archive", "feeds": ["/feed/6.xml", "/feed/7.xml", "/feed/8.xml"], "open": false}],
  "favorites": ["/harbor.xml"],
  "openFavorites": true, "select": "folder:Daily"'
cat >"$WORK/articles.json" <<JSON
{ $ARTICLES, "bookmark": ["Harbor Notes story 2"], "readArticle": "Meadow Review story 1" }
JSON
cat >"$WORK/classic.json" <<JSON
{ $ARTICLES, "layout": 1, "bookmark": ["Harbor Notes story 2"], "readArticle": "Meadow Review story 1" }
JSON
cat >"$WORK/search.json" <<JSON
{ $ARTICLES, "search": {"text": "story", "type": 0} }
JSON
cat >"$WORK/menu.json" <<JSON
{ $ARTICLES, "readArticle": "Quartz Weekly story 1", "contextMenu": "Copper Lantern Daily story 1" }
JSON
# The article page.
cat >"$WORK/article.json" <<JSON
{ $ARTICLES, "layout": 1, "readArticle": "Harbor Notes story 1" }
JSON
cat >"$WORK/find.json" <<JSON
{ $ARTICLES, "layout": 1, "readArticle": "Harbor Notes story 1", "find": "the" }
JSON
cat >"$WORK/hostile.json" <<JSON
{ $FOLDERS, "select": "/hostile.xml", "readArticle": "Hostile" }
JSON
cat >"$WORK/foldermenu.json" <<JSON
{ $FOLDERS, "select": "folder:Technology", "sourceListMenu": true }
JSON
cat >"$WORK/gearmenu.json" <<JSON
{ $FOLDERS, "select": "/feed/1.xml", "gearMenu": true }
JSON
cat >"$WORK/remove.json" <<JSON
{ $FOLDERS, "select": "folder:Reading", "remove": true }
JSON
cat >"$WORK/rename.json" <<JSON
{ $FOLDERS, "select": "/lantern.xml", "rename": true }
JSON
cat >"$WORK/toolbar.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "customizeToolbar": true }
JSON
cat >"$WORK/toolbartext.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "toolbarMode": 3, "toolbarMenu": true }
JSON
# Sharing.
cat >"$WORK/sharepopover.json" <<JSON
{ $ARTICLES, "readArticle": "Harbor Notes story 1", "sharePopover": "toolbar", "shareSavedLogin": true,
  "shareLink": "tag:example.com,2024:story" }
JSON
cat >"$WORK/sharesubmenu.json" <<JSON
{ $ARTICLES, "readArticle": "Quartz Weekly story 1", "contextMenu": "Copper Lantern Daily story 1",
  "shareSubmenu": true }
JSON
cat >"$WORK/sharepage.json" <<JSON
{ $ARTICLES, "layout": 1, "readArticle": "Harbor Notes story 1", "sharePopover": "page" }
JSON
cat >"$WORK/sharelogin.json" <<JSON
{ $ARTICLES, "readArticle": "Harbor Notes story 1", "sharePopover": "toolbar", "shareLogin": true }
JSON
cat >"$WORK/emptyfeed.json" <<JSON
{ $FOLDERS, "select": "/empty.xml" }
JSON

# Browser tabs: pages of the sites in tabs, the feed button's menu, find,
# the column as pictures and as titles, the indicator, the dark theme.
TABS='"site": "/harbor.xml", "open": ["/news.html", "/story/2", "/story/4", "/"]'
cat >"$WORK/tabfeeds.json" <<JSON
{ $ARTICLES, "tabs": { $TABS, "show": 1, "feedMenu": true, "find": "the" } }
JSON
cat >"$WORK/tabsthumbnails.json" <<JSON
{ $ARTICLES, "readArticle": "Meadow Review story 1", "tabs": { $TABS, "show": 0 } }
JSON
cat >"$WORK/tabslabels.json" <<JSON
{ $ARTICLES, "readArticle": "Meadow Review story 1", "tabs": { $TABS, "show": 2, "labels": true } }
JSON
cat >"$WORK/tabindicator.json" <<JSON
{ $ARTICLES, "readArticle": "Meadow Review story 1", "tabs": { $TABS, "show": 0, "visibility": 2 } }
JSON
cat >"$WORK/tabdark.json" <<JSON
{ $ARTICLES, "tabs": { $TABS, "show": 2 } }
JSON
# Adding sites and folders, importing.
HARBOR="$(grep '/harbor.xml$' "$WORK/sites.txt" | sed 's#/harbor.xml$##')"
cat >"$WORK/import.opml" <<OPML
<?xml version="1.0" encoding="UTF-8"?>
<opml version="2.0"><head><title>Exported elsewhere</title></head><body>
<outline text="Harbor"><outline text="More" type="rss" xmlUrl="$HARBOR/more.xml"/>
<outline text="Digest" type="rss" xmlUrl="$HARBOR/digest.xml"/></outline>
<outline text="Already here" type="rss" xmlUrl="$FARM/feed/0.xml"/>
</body></opml>
OPML
printf '<?xml version="1.0"?><opml><body><outline text="cut off' >"$WORK/broken.opml"
cat >"$WORK/addsite.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "addSite": {} }
JSON
cat >"$WORK/addsiteerror.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "addSite": {"address": "$FARM/feed/404.xml", "search": true, "until": "error"} }
JSON
cat >"$WORK/addsitefound.json" <<JSON
{ $FOLDERS, "select": "folder:Reading", "addSite": {"address": "$HARBOR/links.html", "search": true, "until": "found"} }
JSON
cat >"$WORK/popular.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "addSite": {"pane": 1} }
JSON
cat >"$WORK/adderrors.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "subscriptionErrors": 8 }
JSON
cat >"$WORK/addfolder.json" <<JSON
{ $FOLDERS, "select": "/feed/4.xml", "addFolder": "Weekend Reading" }
JSON
cat >"$WORK/importing.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "importing": 0.4 }
JSON
cat >"$WORK/importbezel.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "importFile": "$WORK/import.opml" }
JSON
cat >"$WORK/importerror.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "importFile": "$WORK/broken.opml" }
JSON

# The settings live in <data folder>/Fernhollow/Zephlin.conf (INI).
set_theme() {
  local settings="$1/Fernhollow/Zephlin.conf"
  mkdir -p "$(dirname "$settings")"
  if [ ! -f "$settings" ] || ! grep -q '^\[General\]' "$settings"; then
    printf '[General]\n' >>"$settings"
  fi
  sed -i '/^ZPHSubthemeStyleIndexKey=/d' "$settings"
  sed -i "s/^\[General\]\$/[General]\nZPHSubthemeStyleIndexKey=$2/" "$settings"
}

# A thousand feeds of two articles each (the 1,000-feed picture), from a farm
# of their own; the article list as the user widened it.
python3 "$ZPH_ROOT/tests/tools/feedfarm.py" --port 0 --port-file "$WORK/farm1000.port" --feeds 1000 --items 2 \
  --max-seconds 600 >"$WORK/farm1000.log" 2>&1 &
PIDS+=($!)
wait_for_file "$WORK/farm1000.port" "the feed farm of 1,000" "$WORK/farm1000.log"
curl_urls "http://127.0.0.1:$(cat "$WORK/farm1000.port")/urls.txt" >"$WORK/urls1000.txt"
DATA1000="$WORK/zephlin-1000"
"$BUILD/bin/refresh_bench" --data-dir "$DATA1000" --urls "$WORK/urls1000.txt" --rounds 1 >"$WORK/refresh1000.log"
mkdir -p "$DATA1000/Fernhollow" && printf '[General]\nZPHStandardLayoutListWidth=560\n' >"$DATA1000/Fernhollow/Zephlin.conf"
cat >"$WORK/feeds1000.json" <<JSON
{ "window": {"width": 1600, "height": 1000}, "select": "/feed/0.xml", "refresh": "during" }
JSON
# Menus, badge and windows: past the first run, no offer to become the
# default feed reader.
settle_settings() {
  local settings="$1/Fernhollow/Zephlin.conf"
  mkdir -p "$(dirname "$settings")"
  if [ ! -f "$settings" ] || ! grep -q '^\[General\]' "$settings"; then
    printf '[General]\n' >>"$settings"
  fi
  sed -i '/^FirstRunDate=/d; /^suppressDefaultAggregatorPrompt=/d' "$settings"
  sed -i "s/^\[General\]\$/[General]\nFirstRunDate=2026-01-01T09:00:00\nsuppressDefaultAggregatorPrompt=true/" "$settings"
}

status=0
shoot() {
  local name="$1" state="$2" theme="$3" data="${4:-$DATA}"
  local copy="$WORK/run-$name" picture="$OUT/$name.png"
  rm -rf "$copy" && cp -a "$data" "$copy"
  set_theme "$copy" "$theme"
  settle_settings "$copy"
  rm -f "$picture"
  if ! "$BUILD/bin/zephlin" --data-dir "$copy" --screenshot "$picture" --screenshot-state "$WORK/$state.json" \
    >"$WORK/zephlin-$name.log" 2>&1; then
    echo "screenshots: zephlin failed for $name:" >&2
    cat "$WORK/zephlin-$name.log" >&2
    status=1
  fi
  if [ -s "$picture" ]; then
    echo "$picture"
  else
    echo "screenshots: $picture is missing" >&2
    status=1
  fi
}

shoot main-light main 0
shoot main-dark main 1
shoot unread-sites unread 0
shoot no-unread-sites nounread 0
shoot bezel bezel 0
shoot offline offline 0
shoot articles-standard articles 0
shoot articles-classic classic 0
shoot articles-dark articles 1
shoot search search 0
shoot context-menu menu 0
shoot empty-feed emptyfeed 0
shoot article-light article 0
shoot article-dark article 1
shoot article-find find 0
shoot article-hostile hostile 0
shoot folder-menu foldermenu 0
shoot gear-menu gearmenu 0
shoot remove-sheet remove 0
shoot rename rename 0
shoot customize-toolbar toolbar 0
shoot toolbar-text-only toolbartext 0
shoot share-popover sharepopover 0
shoot share-popover-dark sharepopover 1
shoot share-submenu sharesubmenu 0
shoot share-page sharepage 0
shoot share-login sharelogin 0
shoot feeds-1000 feeds1000 0 "$DATA1000"
# Browser tabs.
shoot tab-feed-menu tabfeeds 0
shoot tabs-thumbnails tabsthumbnails 0
shoot tabs-labels tabslabels 0
shoot tab-indicator tabindicator 0
shoot tab-dark tabdark 1
# Adding sites and folders, importing.
shoot add-site-address addsite 0
shoot add-site-error addsiteerror 0
shoot add-site-found addsitefound 0
shoot add-site-popular popular 0
shoot add-site-popular-dark popular 1
shoot add-site-errors adderrors 0
shoot add-folder addfolder 0
shoot importing-opml importing 0
shoot import-bezel importbezel 0
shoot import-error importerror 0

# Menus, badge and windows.
cat >"$WORK/titled.json" <<JSON
{ $FOLDERS, "select": "/meadow.xml", "titleBar": true }
JSON
cat >"$WORK/sitemenu.json" <<JSON
{ $FOLDERS, "select": "/lantern.xml", "siteMenu": true }
JSON
cat >"$WORK/popover.json" <<JSON
{ $ARTICLES, "readArticle": "Harbor Notes story 1", "stylePopover": true }
JSON
cat >"$WORK/prefsgeneral.json" <<JSON
{ $FOLDERS, "preferences": "General" }
JSON
cat >"$WORK/prefsreading.json" <<JSON
{ $FOLDERS, "preferences": "Reading" }
JSON
cat >"$WORK/login.json" <<JSON
{ $FOLDERS, "select": "/feed/2.xml", "credentialsSheet": "/feed/2.xml" }
JSON
cat >"$WORK/mergepurge.json" <<JSON
{ $FOLDERS, "mergeOrPurge": true }
JSON
cat >"$WORK/about.json" <<JSON
{ $FOLDERS, "about": true, "agreement": true }
JSON
cat >"$WORK/mailnotopened.json" <<JSON
{ $ARTICLES, "readArticle": "Harbor Notes story 1", "mailNotOpened": true }
JSON
cat >"$WORK/welcome.json" <<JSON
{ "offline": true, "welcome": true }
JSON
shoot titled-window titled 0
shoot site-menu sitemenu 0
shoot style-popover-light popover 0
shoot style-popover-dark popover 1
shoot preferences-general prefsgeneral 0
shoot preferences-reading prefsreading 0
shoot credentials-sheet login 0
shoot merge-or-purge mergepurge 0
shoot about-agreement about 0
shoot mail-not-opened mailnotopened 0
# The welcome window: a first run, on a fresh folder.
picture="$OUT/welcome.png"
rm -rf "$WORK/run-welcome" && mkdir -p "$WORK/run-welcome"
rm -f "$picture"
if ! "$BUILD/bin/zephlin" --data-dir "$WORK/run-welcome" --screenshot "$picture" --screenshot-state "$WORK/welcome.json" \
  >"$WORK/zephlin-welcome.log" 2>&1 || [ ! -s "$picture" ]; then
  echo "screenshots: $picture is missing" >&2
  cat "$WORK/zephlin-welcome.log" >&2
  status=1
else
  echo "$picture"
fi
exit "$status"
