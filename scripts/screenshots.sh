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
# Menus, badge and windows:
#   OUT/titled-window.png     the window's title with the unread count
#   OUT/site-menu.png         the Site menu with the selected feed's commands
#   OUT/style-popover-light.png, OUT/style-popover-dark.png   the style popover
#   OUT/preferences-general.png, OUT/preferences-reading.png  the two panes
#   OUT/credentials-sheet.png a refresh's login sheet
#   OUT/merge-or-purge.png    the first sync's question
#   OUT/welcome.png           the welcome window of a first run (a fresh folder)
#   OUT/about.png             the About window with the license agreement
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
cleanup() {
  for pid in "${PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
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
cat >"$WORK/emptyfeed.json" <<JSON
{ $FOLDERS, "select": "/empty.xml" }
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
  local name="$1" state="$2" theme="$3"
  local copy="$WORK/run-$name" picture="$OUT/$name.png"
  rm -rf "$copy" && cp -a "$DATA" "$copy"
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
