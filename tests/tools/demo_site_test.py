#!/usr/bin/env python3
"""Tests of the demo site: the real script, started on a free loopback port, read over HTTP.

Usage: demo_site_test.py PATH/TO/demo_site.py
Every wait is bounded, so that a hung site fails the test instead of stalling it.
"""

import html.parser
import http.client
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import unittest
import urllib.error
import urllib.request

SITE = None  # set from the command line
TIMEOUT = 10  # seconds for any single wait
RESULTS_AT_LEAST = 30  # long enough to scroll in a 720 x 800 box


class DemoSite:
    """One running demo site; stopped with SIGTERM when the context ends."""

    def __init__(self, *args):
        self._dir = tempfile.TemporaryDirectory()
        self.log_path = os.path.join(self._dir.name, "requests.log")
        self.process = subprocess.Popen(
            [sys.executable, SITE, "--port", "0", "--log", self.log_path, *args],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, encoding="utf-8")
        first = self._read_first_line()
        match = re.fullmatch(r"listening on http://127\.0\.0\.1:(\d+)/\n", first)
        if not match:
            self.stop()
            raise AssertionError(f"unexpected first line: {first!r}")
        self.port = int(match.group(1))
        self.base = f"http://127.0.0.1:{self.port}"

    def _read_first_line(self):
        # readline() has no time-out of its own; a timer ends the site if it never speaks.
        timer = threading.Timer(TIMEOUT, self.process.kill)
        timer.start()
        try:
            return self.process.stdout.readline()
        finally:
            timer.cancel()

    def fetch(self, target):
        """(status, content type, body text) of a GET for `target`, sent exactly as given."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=TIMEOUT)
        try:
            connection.putrequest("GET", target, skip_accept_encoding=True)
            connection.endheaders()
            response = connection.getresponse()
            return (response.status, response.getheader("Content-Type"),
                    response.read().decode("utf-8"))
        finally:
            connection.close()

    def send_raw(self, request):
        """Sends `request` bytes as they are and returns the reply up to the site's close."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=TIMEOUT) as sock:
            sock.sendall(request)
            reply = b""
            while chunk := sock.recv(65536):
                reply += chunk
            return reply

    def log_lines(self):
        with open(self.log_path, encoding="utf-8") as log:
            return log.read().splitlines()

    def stop(self, signum=signal.SIGTERM):
        """Sends `signum` and returns the exit code and the rest of stdout."""
        if self.process.poll() is None:
            self.process.send_signal(signum)
        try:
            out, _ = self.process.communicate(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, _ = self.process.communicate(timeout=TIMEOUT)
        self._dir.cleanup()
        return self.process.returncode, out

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()


class Links(html.parser.HTMLParser):
    """The result page's links and window-opening buttons, with their targets."""

    def __init__(self):
        super().__init__()
        self.anchors = []  # (href, target, id)
        self.script_opens = []  # addresses passed to window.open
        self.words = None
        self._in_words = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "a":
            self.anchors.append((attrs.get("href"), attrs.get("target"), attrs.get("id")))
        for value in attrs.values():
            for address in re.findall(r"window\.open\('([^']*)'\)", value or ""):
                self.script_opens.append(address)
        if attrs.get("id") == "words":
            self._in_words = True
            self.words = ""

    def handle_endtag(self, tag):
        self._in_words = False

    def handle_data(self, data):
        if self._in_words:
            self.words += data


def parse(body):
    links = Links()
    links.feed(body)
    return links


class ResultPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = DemoSite()

    @classmethod
    def tearDownClass(cls):
        code, _ = cls.site.stop()
        assert code == 0, code

    def test_shows_the_words_it_received(self):
        cases = [
            # (request target, words shown)
            ("/s/movie", "movie"),
            ("/s/", "（空）"),  # no words at all
            ("/s/two%20words", "two words"),
            ("/s/a?b&c=d", "a?b&c=d"),  # a query is part of what was received
            ("/s/a/b", "a/b"),  # a '/' in the words adds a path step
            ("/s/%E4%B8%AD%E6%96%87", "中文"),  # UTF-8, as browsers send it
            ("/s/%D6%D0%CE%C4", "中文"),  # GBK bytes, percent-encoded
            ("/s/<b>&amp;", "<b>&amp;"),  # markup in the words stays text
            ("/s/%FF%FF", "\ufffd\ufffd"),  # neither UTF-8 nor GBK
        ]
        for target, shown in cases:
            with self.subTest(target=target):
                status, content_type, body = self.site.fetch(target)
                self.assertEqual(status, 200)
                self.assertEqual(content_type, "text/html; charset=utf-8")
                self.assertEqual(parse(body).words, shown)

    def test_is_long_and_opens_new_windows_both_ways(self):
        _, _, body = self.site.fetch("/s/%E7%94%B5%E5%BD%B1")
        links = parse(body)
        self.assertGreaterEqual(body.count('class="result"'), RESULTS_AT_LEAST)
        blank = [a for a in links.anchors if a[1] == "_blank"]
        self.assertEqual([a[2] for a in blank], ["new-window-link"])
        self.assertEqual(len(links.script_opens), 1)
        self.assertNotEqual(blank[0][0], links.script_opens[0])

    def test_every_link_stays_on_the_site_and_answers(self):
        _, _, body = self.site.fetch("/s/x")
        links = parse(body)
        addresses = {a[0] for a in links.anchors} | set(links.script_opens)
        self.assertGreater(len(addresses), RESULTS_AT_LEAST)
        for address in sorted(addresses):
            with self.subTest(address=address):
                self.assertTrue(address.startswith("/"), address)
                status, _, _ = self.site.fetch(address)
                self.assertEqual(status, 200)

    def test_same_words_give_the_same_page(self):
        self.assertEqual(self.site.fetch("/s/abc")[2], self.site.fetch("/s/abc")[2])
        self.assertNotEqual(self.site.fetch("/s/abc")[2], self.site.fetch("/s/abd")[2])


class PagesTest(unittest.TestCase):
    def test_update_page_carries_the_version(self):
        cases = [
            # (arguments, version between the markers)
            ((), "1"),
            (("--version", "2"), "2"),
            (("--version", "2.9"), "2.9"),
        ]
        for args, version in cases:
            with self.subTest(args=args), DemoSite(*args) as site:
                status, _, body = site.fetch("/update")
                self.assertEqual(status, 200)
                self.assertEqual(re.findall(r"ruanjianbanben(.*?)jieshu", body), [version])

    def test_download_index_and_unknown_pages(self):
        with DemoSite() as site:
            for target, status in [("/download", 200), ("/", 200), ("/nothing", 404)]:
                with self.subTest(target=target):
                    self.assertEqual(site.fetch(target)[0], status)
            self.assertIn("下载", site.fetch("/download")[2])

    def test_urllib_reads_a_result_page(self):
        # The way an ordinary client asks, with its own headers and percent-encoding.
        with DemoSite() as site:
            address = site.base + "/s/" + urllib.request.quote("星际 列车")
            with urllib.request.urlopen(address, timeout=TIMEOUT) as response:
                self.assertEqual(parse(response.read().decode("utf-8")).words, "星际 列车")
            with self.assertRaises(urllib.error.HTTPError) as caught:
                urllib.request.urlopen(site.base + "/missing", timeout=TIMEOUT)
            self.assertEqual(caught.exception.code, 404)


class LogTest(unittest.TestCase):
    def test_logs_every_request_line_as_received_in_order(self):
        targets = ["/s/%E4%B8%AD%20a", "/update", "/s/a?b#c", "/nothing", "/download"]
        with DemoSite() as site:
            for target in targets:
                site.fetch(target)
            logged = site.log_lines()
            code, out = site.stop()
        expected = [f"GET {target} HTTP/1.1" for target in targets]
        self.assertEqual(logged, expected)
        self.assertEqual(out.splitlines(), expected)  # stdout, after the listening line
        self.assertEqual(code, 0)

    def test_logs_bytes_outside_ascii_escaped(self):
        with DemoSite() as site:
            reply = site.send_raw("GET /s/中 HTTP/1.1\r\nConnection: close\r\n\r\n".encode())
            self.assertTrue(reply.startswith(b"HTTP/1.1 200"), reply[:40])
            self.assertEqual(site.log_lines(), ["GET /s/\\xe4\\xb8\\xad HTTP/1.1"])

    def test_logs_a_malformed_request_line_too(self):
        with DemoSite() as site:
            reply = site.send_raw(b"NONSENSE\r\n\r\n")
            self.assertIn(b"400", reply)
            self.assertEqual(site.log_lines(), ["NONSENSE"])


class LifetimeTest(unittest.TestCase):
    def test_stops_cleanly_on_sigterm_and_sigint(self):
        for signum in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=signum.name):
                site = DemoSite()
                site.fetch("/s/a")  # with a keep-alive connection just served
                code, _ = site.stop(signum)
                self.assertEqual(code, 0)

    def test_listens_on_loopback_only(self):
        with DemoSite() as site:
            listening = listening_addresses(site.port)
        self.assertEqual(listening, ["127.0.0.1"])

    def test_port_in_use_fails_with_a_message(self):
        with DemoSite() as first:
            second = subprocess.run(
                [sys.executable, SITE, "--port", str(first.port)],
                capture_output=True, text=True, timeout=TIMEOUT)
        self.assertEqual(second.returncode, 1)
        self.assertIn(f"cannot listen on 127.0.0.1:{first.port}", second.stderr)


def listening_addresses(port):
    """The local IPv4 and IPv6 addresses that listen on `port`, read from /proc/net."""
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        if not os.path.exists(table):
            continue
        with open(table) as rows:
            next(rows)
            for row in rows:
                local, state = row.split()[1], row.split()[3]
                address, local_port = local.split(":")
                if int(local_port, 16) == port and state == "0A":  # 0A: LISTEN
                    if len(address) == 8:
                        found.append(".".join(str(b) for b in bytes.fromhex(address)[::-1]))
                    else:
                        found.append("ipv6:" + address)
    return found


if __name__ == "__main__":
    SITE = sys.argv.pop(1)
    unittest.main()
