#!/usr/bin/env python3
"""Self-test of the loopback test server: the real program on a free port
in a temporary folder, spoken to with http.client and raw sockets."""

import email.utils
import http.client
import json
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "zsp_test_server.py")
TIMEOUT = 5


class ServerProcess:
    """The server started on a free port; ended (by its pid) on stop()."""

    def __init__(self, root, *extra):
        self.root = root
        self.pidfile = os.path.join(root, "..", "server.pid")
        self._stderr = open(os.path.join(root, "..", "server.err"), "wb")
        self.process = subprocess.Popen(
            [sys.executable, SERVER, "--root", root, "--port", "0", "--pidfile", self.pidfile, *extra],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=self._stderr, text=True)
        line = self.process.stdout.readline()
        if "port" not in line:
            self.stop()
            raise RuntimeError(f"server did not start: {line!r}")
        self.port = int(line.split()[-1])

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(TIMEOUT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self._stderr.close()


def raw_request(port, path, method="GET", extra=""):
    """A connected socket on which one request has been sent."""
    sock = socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT)
    sock.sendall(f"{method} {path} HTTP/1.1\r\nHost: 127.0.0.1\r\n{extra}\r\n".encode())
    return sock


def read_headers(sock):
    """Reads up to the end of the headers; returns (head, body bytes read beyond it)."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(4096)
        if not chunk:
            raise AssertionError(f"connection closed inside the headers: {data!r}")
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    return head.decode("latin-1"), rest


def read_to_end(sock):
    data = b""
    while chunk := sock.recv(4096):
        data += chunk
    return data


class ServedContent(unittest.TestCase):
    """Normal answers, faults and the request log, on one running server."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.tmp.name, "root")
        os.mkdir(cls.root)
        with open(os.path.join(cls.tmp.name, "secret.txt"), "w") as f:
            f.write("outside the root")
        cls.server = ServerProcess(cls.root)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.tmp.cleanup()

    def setUp(self):
        for name in os.listdir(self.root):
            path = os.path.join(self.root, name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            else:
                os.remove(path)

    def serve(self, rel, body, fault=None):
        path = os.path.join(self.root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(body)
        if fault is not None:
            with open(path + ".fault", "w") as f:
                f.write(fault + "\n")
        elif os.path.exists(path + ".fault"):
            os.remove(path + ".fault")
        return path

    def connect(self):
        return http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=TIMEOUT)

    def get(self, path, method="GET", headers=None):
        conn = self.connect()
        try:
            conn.request(method, path, headers=headers or {})
            response = conn.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            conn.close()

    def logged(self):
        try:
            with open(os.path.join(self.root, "requests.log")) as f:
                return [json.loads(line) for line in f]
        except FileNotFoundError:
            return []

    def test_normal_get_and_head(self):
        body = bytes(range(256)) * 40 + b"\r\n\n\0end"
        path = self.serve("zsp/setup.exe", body)
        os.utime(path, (1700000000, 1700000000))
        self.serve("zsp/update.txt", b"version\n")
        self.serve("zsp/download.html", b"<html></html>")

        status, headers, received = self.get("/zsp/setup.exe")
        self.assertEqual((status, received), (200, body))
        self.assertEqual(headers["Content-Length"], str(len(body)))
        self.assertEqual(headers["Content-Type"], "application/octet-stream")
        self.assertEqual(headers["Last-Modified"], email.utils.formatdate(1700000000, usegmt=True))
        for caching in ("Cache-Control", "Expires", "Pragma"):
            self.assertNotIn(caching, headers)

        self.assertEqual(self.get("/zsp/update.txt")[1]["Content-Type"], "text/plain")
        self.assertEqual(self.get("/zsp/download.html")[1]["Content-Type"], "text/html")
        self.assertEqual(self.get("/zsp/update.txt?x=1")[2], b"version\n")

        status, headers, received = self.get("/zsp/setup.exe", method="HEAD")
        self.assertEqual((status, received), (200, b""))
        self.assertEqual(headers["Content-Length"], str(len(body)))

    def test_keep_alive_serves_several_requests_on_one_connection(self):
        self.serve("a.txt", b"first")
        self.serve("b.txt", b"second")
        conn = self.connect()
        try:
            for path, expected in (("/a.txt", b"first"), ("/b.txt", b"second"), ("/a.txt", b"first")):
                conn.request("GET", path)
                self.assertEqual(conn.getresponse().read(), expected)
        finally:
            conn.close()

    def test_missing_files_and_paths_outside_the_root_are_not_found(self):
        self.serve("zsp/update.txt", b"x")
        for path in ("/zsp/nothing.txt", "/zsp", "/zsp/", "/../secret.txt", "/zsp/../../secret.txt",
                     "/%2e%2e/secret.txt", "/zsp/%2E%2E%2F%2E%2E%2Fsecret.txt", "/zsp/update.txt%00"):
            with self.subTest(path=path):
                status, _, body = self.get(path)
                self.assertEqual(status, 404)
                self.assertNotIn(b"outside the root", body)
        os.symlink(os.path.join(self.tmp.name, "secret.txt"), os.path.join(self.root, "link.txt"))
        self.assertEqual(self.get("/link.txt")[0], 404)

    def test_status_fault_sends_the_file_as_body_and_is_read_on_every_request(self):
        self.serve("zsp/update.txt", b"body of the file", "status 500")
        self.assertEqual(self.get("/zsp/update.txt")[::2], (500, b"body of the file"))
        self.serve("zsp/update.txt", b"body of the file", "status 404")
        self.assertEqual(self.get("/zsp/update.txt")[::2], (404, b"body of the file"))
        self.serve("zsp/update.txt", b"body of the file", "")
        self.assertEqual(self.get("/zsp/update.txt")[::2], (200, b"body of the file"))
        self.serve("zsp/update.txt", b"body of the file")
        self.assertEqual(self.get("/zsp/update.txt")[::2], (200, b"body of the file"))

    def test_unknown_or_malformed_fault_is_a_server_error(self):
        for fault in ("explode", "status", "status abc", "status 99", "truncate -1", "trickle 0 10",
                      "delay", "rangestatus 99", "norange 1", "cut", "cut 5 0"):
            with self.subTest(fault=fault):
                self.serve("a.txt", b"x", fault)
                self.assertEqual(self.get("/a.txt")[0], 500)

    def test_close_fault_sends_nothing(self):
        self.serve("a.txt", b"content", "close")
        sock = raw_request(self.server.port, "/a.txt")
        with sock:
            self.assertEqual(read_to_end(sock), b"")

    def test_stall_fault_sends_headers_then_holds_without_blocking_others(self):
        body = b"s" * 1000
        self.serve("stall.exe", body, "stall 30")
        self.serve("other.txt", b"other")
        stalled = raw_request(self.server.port, "/stall.exe")
        with stalled:
            head, rest = read_headers(stalled)
            self.assertIn("Content-Length: 1000", head)
            self.assertEqual(rest, b"")
            stalled.settimeout(0.5)
            with self.assertRaises(socket.timeout):
                stalled.recv(1)
            self.assertEqual(self.get("/other.txt")[::2], (200, b"other"))

    def test_stall_fault_ends_after_its_seconds(self):
        self.serve("stall.exe", b"s" * 10, "stall 1")
        sock = raw_request(self.server.port, "/stall.exe")
        with sock:
            started = time.monotonic()
            read_headers(sock)
            self.assertEqual(read_to_end(sock), b"")
            self.assertGreaterEqual(time.monotonic() - started, 0.8)

    def test_truncate_fault_announces_full_length_and_sends_part(self):
        body = bytes(range(100))
        self.serve("setup.exe", body, "truncate 37")
        sock = raw_request(self.server.port, "/setup.exe")
        with sock:
            head, rest = read_headers(sock)
            self.assertIn("Content-Length: 100", head)
            self.assertEqual(rest + read_to_end(sock), body[:37])

        conn = self.connect()
        try:
            conn.request("GET", "/setup.exe")
            response = conn.getresponse()
            with self.assertRaises(http.client.IncompleteRead):
                response.read()
        finally:
            conn.close()

    def test_trickle_fault_sends_chunks_apart(self):
        body = b"0123456789" * 3
        self.serve("slow.exe", body, "trickle 10 200")
        sock = raw_request(self.server.port, "/slow.exe")
        with sock:
            _, received = read_headers(sock)
            headers_came = time.monotonic()
            arrivals = []
            while len(received) < len(body):
                chunk = sock.recv(4096)
                self.assertTrue(chunk, "connection closed before the whole body came")
                received += chunk
                arrivals.append(time.monotonic())
        self.assertEqual(received, body)
        # Three chunks, two gaps of 200 ms after the first, which may come with the headers.
        self.assertGreaterEqual(arrivals[-1] - headers_came, 0.35)

    def responses(self):
        """The response log: one dict per ended answer."""
        deadline = time.monotonic() + TIMEOUT
        path = os.path.join(self.root, "responses.log")
        while True:
            try:
                with open(path, encoding="utf-8") as f:
                    return [json.loads(line) for line in f if line.strip()]
            except FileNotFoundError:
                if time.monotonic() > deadline:
                    return []
                time.sleep(0.05)

    def test_hang_pause_and_nolength_faults_and_the_response_log(self):
        body = bytes(range(256)) * 4
        self.serve("hang.txt", body, "hang 30")
        sock = raw_request(self.server.port, "/hang.txt")
        with sock:
            sock.settimeout(0.5)
            with self.assertRaises(socket.timeout):
                sock.recv(1)
        self.serve("pause.exe", body, "pause 100 30")
        sock = raw_request(self.server.port, "/pause.exe")
        with sock:
            head, rest = read_headers(sock)
            self.assertIn("Content-Length: 1024", head)
            sock.settimeout(0.5)
            try:
                while len(rest) < 100:
                    rest += sock.recv(4096)
                rest += sock.recv(4096)
            except socket.timeout:
                pass
            self.assertEqual(rest, body[:100])
        self.serve("open.exe", body, "nolength")
        sock = raw_request(self.server.port, "/open.exe")
        with sock:
            head, rest = read_headers(sock)
            self.assertNotIn("Content-Length", head)
            self.assertEqual(rest + read_to_end(sock), body)

        deadline = time.monotonic() + TIMEOUT
        while len(self.responses()) < 3 and time.monotonic() < deadline:
            time.sleep(0.05)
        by_path = {entry["path"]: entry for entry in self.responses()}
        self.assertEqual({k: by_path["/hang.txt"][k] for k in ("sent", "complete", "client_left")},
                         {"sent": 0, "complete": False, "client_left": True})
        self.assertEqual({k: by_path["/pause.exe"][k] for k in ("sent", "client_left")},
                         {"sent": 100, "client_left": True})
        self.assertEqual({k: by_path["/open.exe"][k] for k in ("length", "sent", "complete")},
                         {"length": 1024, "sent": 1024, "complete": True})

    def test_an_answer_ending_after_the_root_was_cleared_is_not_logged(self):
        self.serve("late.txt", b"l" * 10, "stall 1")
        sock = raw_request(self.server.port, "/late.txt")
        with sock:
            read_headers(sock)
            self.assertEqual(len(self.logged()), 1)
            # What a test's clearing does: a new generation, then an empty root.
            with open(os.path.join(self.root, "..", "generation"), "w") as f:
                f.write(str(time.monotonic()))
            self.setUp()
            # The server logs the answer before it closes the connection.
            self.assertEqual(read_to_end(sock), b"")
        self.assertEqual(os.listdir(self.root), [])

    def test_delay_fault_answers_normally_after_the_wait(self):
        self.serve("a.txt", b"late", "delay 400")
        started = time.monotonic()
        self.assertEqual(self.get("/a.txt")[::2], (200, b"late"))
        self.assertGreaterEqual(time.monotonic() - started, 0.4)

    def test_faults_on_head_send_no_body(self):
        for fault in ("truncate 3", "trickle 2 10", "status 500"):
            with self.subTest(fault=fault):
                self.serve("a.txt", b"abcdefgh", fault)
                sock = raw_request(self.server.port, "/a.txt", method="HEAD")
                with sock:
                    head, rest = read_headers(sock)
                    self.assertIn("Content-Length: 8", head)
                    sock.settimeout(0.3)
                    try:
                        rest += sock.recv(4096)
                    except socket.timeout:
                        pass
                    self.assertEqual(rest, b"")

    def test_ranges_if_range_and_the_faults_that_change_them(self):
        body, when = bytes(range(256)) * 4, 1700000000
        os.utime(self.serve("r.exe", body), (when, when))
        _, headers, _ = self.get("/r.exe")
        tag, date = headers["ETag"], headers["Last-Modified"]
        self.assertEqual((headers["Accept-Ranges"], tag[0], tag[-1]), ("bytes", '"', '"'))
        tail, whole = (206, "bytes 1000-1023/1024", body[1000:]), (200, None, body)
        for fault, request, expected in (
                (None, {"Range": "bytes=1000-"}, tail), (None, {"Range": "bytes=-24"}, tail),
                (None, {"Range": "bytes=10-19"}, (206, "bytes 10-19/1024", body[10:20])),
                (None, {"Range": "bytes=1000-5000"}, tail),
                (None, {"Range": "bytes=1024-"}, (416, "bytes */1024", b"")),
                (None, {"Range": "bytes=0-1,5-9"}, whole), (None, {"Range": "bytes=9-5"}, whole),
                (None, {"Range": "lines=1-"}, whole),
                (None, {"Range": "bytes=1000-", "If-Range": tag}, tail),
                (None, {"Range": "bytes=1000-", "If-Range": date}, tail),
                (None, {"Range": "bytes=1000-", "If-Range": "W/" + tag}, whole),
                (None, {"Range": "bytes=1000-", "If-Range": '"400-0"'}, whole),
                (None, {"Range": "bytes=1000-",
                        "If-Range": email.utils.formatdate(when + 1, usegmt=True)}, whole),
                ("norange", {"Range": "bytes=1000-", "If-Range": tag}, whole),
                ("rangestatus 500", {"Range": "bytes=1000-"}, (500, None, body)),
                ("rangestatus 404", {}, whole)):
            with self.subTest(fault=fault, request=request):
                os.utime(self.serve("r.exe", body, fault), (when, when))
                status, headers, received = self.get("/r.exe", headers=request)
                self.assertEqual((status, headers.get("Content-Range"), received), expected)
                self.assertEqual("Accept-Ranges" in headers, status in (200, 206) and fault != "norange")
        self.serve("r.exe", body[:-1] + b"x")
        self.assertEqual(self.get("/r.exe", "HEAD", {"Range": "bytes=1000-"})[0], 200)
        self.assertNotEqual(self.get("/r.exe")[1]["ETag"], tag)
        logged = {(e["status"], e["from"], e["length"], e["sent"]) for e in self.responses()}
        self.assertLessEqual({(200, 0, 1024, 1024), (206, 1000, 24, 24), (206, 10, 10, 10), (416, 0, 0, 0),
                              (500, 0, 1024, 1024)}, logged)

    def test_cut_fault_counts_the_answers_it_cuts_and_faults_count_bytes_of_a_part(self):
        body = bytes(range(200)) * 5
        for fault, start, expected, left in (
                ("truncate 10", 500, body[500:510], "truncate 10"),
                ("cut 600 2", 500, body[500:600], "cut 600 1"), ("cut 600 2", 700, body[700:], "cut 600 2"),
                ("cut 600 1", 0, body[:600], "")):
            with self.subTest(fault=fault, start=start):
                path = self.serve("c.exe", body, fault)
                extra = (f"Range: bytes={start}-\r\n" if start else "") + "Connection: close\r\n"
                with raw_request(self.server.port, "/c.exe", extra=extra) as sock:
                    head, rest = read_headers(sock)
                    self.assertIn(f"Content-Length: {len(body) - start}", head)
                    self.assertEqual(rest + read_to_end(sock), expected)
                sidecar = pathlib.Path(path + ".fault")
                self.assertEqual(sidecar.read_text().strip() if sidecar.exists() else "", left)
        # The cut used up, the next answer is whole.
        self.assertEqual(self.get("/c.exe", headers={"Range": "bytes=500-"})[::2], (206, body[500:]))
        cut = [e for e in self.responses() if e["sent"] == 100][0]
        self.assertEqual((cut["status"], cut["from"], cut["length"], cut["complete"]), (206, 500, 500, False))

    def test_request_log_holds_one_line_per_request_with_its_headers(self):
        self.serve("zsp/update.txt", b"x")
        self.get("/zsp/update.txt", headers={"Pragma": "no-cache", "User-Agent": "probe"})
        self.get("/zsp/missing.txt", method="HEAD")
        self.get("/zsp/update.txt", method="POST")
        entries = self.logged()
        self.assertEqual([(e["method"], e["path"]) for e in entries],
                         [("GET", "/zsp/update.txt"), ("HEAD", "/zsp/missing.txt"),
                          ("POST", "/zsp/update.txt")])
        self.assertEqual(entries[0]["headers"]["Pragma"], "no-cache")
        self.assertEqual(entries[0]["headers"]["User-Agent"], "probe")
        self.assertLessEqual(abs(entries[0]["time"] - time.time()), 60)

    def test_request_is_logged_before_the_answer(self):
        self.serve("stall.txt", b"x", "stall 30")
        sock = raw_request(self.server.port, "/stall.txt", extra="Pragma: no-cache\r\n")
        with sock:
            read_headers(sock)
            self.assertEqual(self.logged()[-1]["headers"]["Pragma"], "no-cache")


class Lifetime(unittest.TestCase):
    """Starting, refusing and stopping the server."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.tmp.name, "root")
        os.mkdir(self.root)
        self.server = None

    def tearDown(self):
        if self.server:
            self.server.stop()
        self.tmp.cleanup()

    def test_refuses_hosts_other_than_loopback(self):
        for host in ("0.0.0.0", "::", "192.168.1.1", "example.com"):
            with self.subTest(host=host):
                result = subprocess.run(
                    [sys.executable, SERVER, "--root", self.root, "--port", "0", "--host", host],
                    stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=TIMEOUT)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("loopback only", result.stderr)

    def test_reports_a_port_in_use(self):
        with socket.socket() as holder:
            holder.bind(("127.0.0.1", 0))
            holder.listen()
            result = subprocess.run(
                [sys.executable, SERVER, "--root", self.root, "--port", str(holder.getsockname()[1])],
                stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=TIMEOUT)
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot listen", result.stderr)

    def test_sigterm_stops_it_even_with_a_stalled_connection(self):
        self.server = ServerProcess(self.root)
        with open(self.server.pidfile) as f:
            self.assertEqual(int(f.read()), self.server.process.pid)
        with open(os.path.join(self.root, "a.txt"), "w") as f:
            f.write("x")
        with open(os.path.join(self.root, "a.txt.fault"), "w") as f:
            f.write("stall 60")
        with raw_request(self.server.port, "/a.txt") as sock:
            read_headers(sock)
            self.server.process.send_signal(signal.SIGTERM)
            self.assertEqual(self.server.process.wait(TIMEOUT), 0)
        self.assertFalse(os.path.exists(self.server.pidfile))
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", self.server.port), timeout=TIMEOUT).close()

    def test_stops_by_itself_after_its_lifetime(self):
        self.server = ServerProcess(self.root, "--max-lifetime", "1")
        started = time.monotonic()
        self.assertEqual(self.server.process.wait(TIMEOUT), 0)
        self.assertGreaterEqual(time.monotonic() - started, 0.5)
        self.assertFalse(os.path.exists(self.server.pidfile))

    def test_listens_on_ipv6_loopback(self):
        if not socket.has_ipv6:
            self.skipTest("no IPv6")
        try:
            self.server = ServerProcess(self.root, "--host", "::1")
        except RuntimeError as e:
            self.skipTest(f"no IPv6 loopback here: {e}")
        with open(os.path.join(self.root, "a.txt"), "w") as f:
            f.write("six")
        conn = http.client.HTTPConnection("::1", self.server.port, timeout=TIMEOUT)
        try:
            conn.request("GET", "/a.txt")
            self.assertEqual(conn.getresponse().read(), b"six")
        finally:
            conn.close()

    def test_serves_many_clients_at_once(self):
        self.server = ServerProcess(self.root)
        with open(os.path.join(self.root, "a.txt"), "w") as f:
            f.write("x")
        with open(os.path.join(self.root, "a.txt.fault"), "w") as f:
            f.write("delay 300")
        results = []

        def fetch():
            conn = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=TIMEOUT)
            try:
                conn.request("GET", "/a.txt")
                results.append(conn.getresponse().read())
            finally:
                conn.close()

        threads = [threading.Thread(target=fetch) for _ in range(10)]
        started = time.monotonic()
        for t in threads:
            t.start()
        for t in threads:
            t.join(TIMEOUT)
        self.assertEqual(results, [b"x"] * 10)
        self.assertLess(time.monotonic() - started, 2.0)


if __name__ == "__main__":
    unittest.main()
