#!/usr/bin/env python3
"""A small loopback web site that stands in for the movie-torrent search site.

It serves, on 127.0.0.1 only:
  /s/<words>       a result page that shows the words it received, with made-up results
  /detail/<n>      a result's detail page (the targets of the result page's links)
  /update          the update-information page: "ruanjianbanben<version>jieshu"
  /download        the download page of the new version
  /                a short index

Every request line it receives is written, as received, to stdout and to the --log file, one
line each, flushed at once, so that tests can follow what a browser asked for. Bytes outside
ASCII in a request line are written as \\xNN. The first line on stdout, before any request, is
"listening on http://127.0.0.1:<port>/", which tells the port when --port 0 asked for any.

SIGTERM and SIGINT stop it cleanly, with exit code 0.
"""

import argparse
import hashlib
import html
import http.server
import random
import signal
import sys
import threading
import urllib.parse

HOST = "127.0.0.1"

PAGE_STYLE = """
body { margin: 0; font-family: "Noto Sans CJK SC", "Noto Sans", sans-serif; background: #f4f1ea;
       color: #2b2b2b; font-size: 15px; }
header { background: #6b4423; color: #fff; padding: 14px 24px 14px 130px; }
header h1 { margin: 0; font-size: 22px; }
header p { margin: 4px 0 0; font-size: 14px; color: #f0e2cf; }
.words { font-weight: bold; color: #ffd98a; word-break: break-all; }
.tools { padding: 12px 24px 12px 130px; background: #e8dfd0; border-bottom: 1px solid #cdbfa8; }
.tools a, .tools button { display: inline-block; margin-right: 12px; padding: 8px 16px;
       font-size: 15px; background: #2f6f9f; color: #fff; border: 0; border-radius: 4px;
       text-decoration: none; cursor: pointer; font-family: inherit; }
main { padding: 8px 24px 40px; }
.result { background: #fff; border: 1px solid #ddd3c3; border-radius: 6px; margin: 10px 0;
          padding: 10px 14px; }
.result h2 { margin: 0 0 4px; font-size: 17px; }
.result h2 a { color: #1d4f7a; text-decoration: none; }
.meta { color: #777; font-size: 13px; }
.magnet { font-family: "DejaVu Sans Mono", monospace; font-size: 12px; color: #3a7d3a; }
footer { color: #888; font-size: 12px; padding: 16px 24px; }
"""

TITLE_STARTS = ["星际", "午夜", "江湖", "沉默的", "最后的", "迷雾", "长安", "海上", "极地", "失落的",
                "风起", "银河", "雪国", "黎明", "狂野"]
TITLE_ENDS = ["追踪者", "列车", "往事", "边境", "信号", "花园", "密码", "守望者", "远航", "之城",
              "来信", "迷局", "故事", "风暴", "归途"]
QUALITIES = ["1080p 蓝光", "720p 高清", "4K 超清", "DVD 标清", "1080p 中英双字"]
RESULT_COUNT = 40


def words_from_target(target):
    """The words of a /s/ request target, percent-decoded: UTF-8 as browsers send it, GBK
    when the bytes are not UTF-8, and replacement characters when they are neither."""
    raw = urllib.parse.unquote_to_bytes(target[len("/s/"):])
    for encoding in ("utf-8", "gb18030"):
        try:
            return raw.decode(encoding)
        except UnicodeDecodeError:
            pass
    return raw.decode("utf-8", "replace")


def made_up_results(words):
    """The same words always give the same results, so that pages and screenshots are stable."""
    seed = int.from_bytes(hashlib.sha256(words.encode("utf-8")).digest()[:8], "big")
    rng = random.Random(seed)
    results = []
    for n in range(1, RESULT_COUNT + 1):
        title = rng.choice(TITLE_STARTS) + rng.choice(TITLE_ENDS)
        year = rng.randint(1988, 2024)
        size = rng.randint(700, 24000) / 1000
        info_hash = hashlib.sha1(f"{words}/{n}".encode("utf-8")).hexdigest().upper()
        results.append((n, title, year, rng.choice(QUALITIES), size, info_hash))
    return results


def page(title, body):
    return (
        "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
        f"<title>{html.escape(title)}</title><style>{PAGE_STYLE}</style></head>"
        f"<body>{body}</body></html>\n"
    )


def result_page(words):
    shown = html.escape(words) if words else "（空）"
    items = []
    for n, title, year, quality, size, info_hash in made_up_results(words):
        items.append(
            f'<div class="result"><h2><a href="/detail/{n}">{n}. {title}（{year}）</a></h2>'
            f'<div class="meta">{quality} · {size:.2f} GB · 做种 {n * 7 % 97 + 3} · 下载 '
            f'{n * 13 % 211 + 10}</div>'
            f'<div class="magnet"><a href="/detail/{n}?magnet={info_hash}">'
            f"magnet:?xt=urn:btih:{info_hash}</a></div></div>"
        )
    body = (
        f'<header><h1>搜索结果</h1><p>搜索词：<span class="words" id="words">{shown}</span>'
        f"　共 {RESULT_COUNT} 条</p></header>"
        '<div class="tools">'
        '<a id="new-window-link" href="/detail/101" target="_blank">在新窗口打开详情</a>'
        '<button id="script-window" type="button" onclick="window.open(\'/detail/102\')">'
        "用脚本打开新窗口</button></div>"
        f"<main>{''.join(items)}</main>"
        "<footer>演示站点：所有结果均为虚构，仅供测试。</footer>"
    )
    return page(f"搜索：{words}", body)


def detail_page(number):
    body = (
        f"<header><h1>资源详情 {html.escape(number)}</h1><p>这是演示站点的详情页。</p></header>"
        '<main><div class="result"><p>本页由演示站点生成，内容为虚构。</p>'
        '<p><a href="/s/">返回搜索结果</a></p></div></main>'
    )
    return page(f"详情 {number}", body)


def update_page(version):
    body = (
        "<header><h1>软件更新</h1><p>Tuvaro 更新信息</p></header>"
        '<main><div class="result">'
        f"<p>最新版本：ruanjianbanben{html.escape(version)}jieshu</p>"
        '<p><a href="/download">前往下载页面</a></p></div></main>'
    )
    return page("软件更新", body)


def download_page():
    body = (
        "<header><h1>下载 Tuvaro</h1><p>新版本已经发布</p></header>"
        '<main><div class="result"><p>Tuvaro 2.0 新版本，支持大量的电影种子搜索。</p>'
        '<p class="meta">演示站点：此处不提供真实文件。</p></div></main>'
    )
    return page("下载", body)


def index_page():
    body = (
        "<header><h1>演示站点</h1><p>电影种子搜索的本地替身</p></header>"
        '<main><div class="result"><p><a href="/s/%E7%94%B5%E5%BD%B1">搜索“电影”</a></p>'
        '<p><a href="/update">更新信息</a>　<a href="/download">下载页面</a></p></div></main>'
    )
    return page("演示站点", body)


def not_found_page():
    return page("未找到", "<header><h1>未找到</h1><p>演示站点没有这个页面。</p></header>")


class RequestLog:
    """Writes each line to stdout and to an optional file, flushed at once, one writer at a
    time (the server answers requests on many threads)."""

    def __init__(self, path):
        self._lock = threading.Lock()
        self._file = open(path, "a", encoding="utf-8") if path else None

    def write(self, line):
        with self._lock:
            print(line, flush=True)
            if self._file:
                self._file.write(line + "\n")
                self._file.flush()

    def close(self):
        with self._lock:
            if self._file:
                self._file.close()
                self._file = None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "DemoSite/1"

    def parse_request(self):
        # Logged before parsing, so that a malformed line is logged too.
        line = self.raw_requestline.rstrip(b"\r\n")
        self.server.request_log.write(line.decode("ascii", "backslashreplace"))
        return super().parse_request()

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass  # the request log above is the only log

    def do_GET(self):
        self._answer(send_body=True)

    def do_HEAD(self):
        self._answer(send_body=False)

    def _answer(self, send_body):
        target = self.path
        path = urllib.parse.urlsplit(target).path
        status = 200
        if target.startswith("/s/"):
            text = result_page(words_from_target(target))
        elif path.startswith("/detail/"):
            text = detail_page(urllib.parse.unquote(path[len("/detail/"):]))
        elif path == "/update":
            text = update_page(self.server.version)
        elif path == "/download":
            text = download_page()
        elif path == "/":
            text = index_page()
        else:
            status, text = 404, not_found_page()
        body = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        # Every search is answered afresh, so that a repeated search reaches the site again.
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if send_body:
            self.wfile.write(body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, version, request_log):
        super().__init__((HOST, port), Handler)
        self.version = version
        self.request_log = request_log


def main(argv):
    parser = argparse.ArgumentParser(description="Loopback stand-in for the search site.")
    parser.add_argument("--port", type=int, default=8631, help="0 picks a free port")
    parser.add_argument("--version", default="1",
                        help="the version number that /update announces (default 1)")
    parser.add_argument("--log", help="also append every request line to this file")
    args = parser.parse_args(argv)

    request_log = RequestLog(args.log)
    try:
        server = Server(args.port, args.version, request_log)
    except OSError as error:
        print(f"demo site: cannot listen on {HOST}:{args.port}: {error.strerror}",
              file=sys.stderr)
        request_log.close()
        return 1

    def stop(_signum, _frame):
        # shutdown() waits for serve_forever() to return, so it must not run on its thread.
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    print(f"listening on http://{HOST}:{server.server_address[1]}/", flush=True)
    try:
        server.serve_forever()
    finally:
        server.server_close()
        request_log.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
