#!/usr/bin/env python3
"""Loopback HTTP server for the tests and the demo.

Serves the files under --root for GET and HEAD on 127.0.0.1, with the faults
of a real network chosen per file: a sidecar "<file>.fault", read on every
request, whose first line is one of

    status N            answer with status N and the file's bytes as body
    rangestatus N       the same, but only to a request carrying a Range;
                        one without is answered normally
    close               close the connection without sending anything
    hang [SECONDS]      accept the request, then send nothing at all
    stall [SECONDS]     send the headers, then nothing (default 60 s)
    pause N [SECONDS]   send the headers and N bytes of the body, then nothing
    truncate N          announce the full length, send N bytes, close
    cut OFFSET [COUNT]  announce the length as usual, send the body only up to
                        file offset OFFSET, close; an answer starting at or
                        after OFFSET, or ending at or before it, is not cut.
                        Only COUNT answers (default 1) are cut: the server
                        rewrites the line with the count left, and removes
                        the sidecar once it is used up
    trickle BYTES MS    send BYTES at a time, MS milliseconds apart
    nolength [BYTES MS] send the body without a length, ending it by closing;
                        BYTES at a time, MS milliseconds apart if given
    delay MS            wait MS, then answer normally
    norange             ignore Range and If-Range, as a server without
                        support for ranges (no Accept-Ranges either)

The faults that count bytes of the body (pause, truncate, trickle) count
those of the body being sent, a part of the file in a 206 answer.

A blank or missing sidecar means a normal answer: 200 with the whole file,
its Last-Modified, a strong ETag and "Accept-Ranges: bytes". The ETag is the
size and a 64-bit BLAKE2b digest of the bytes, "<size hex>-<digest hex>",
so that any rewrite that changes the bytes changes it, however soon after
the last one. A GET with a Range of a single range "bytes=N-", "bytes=N-M"
or "bytes=-N" answers 206 with Content-Range and those bytes, or 416 with
"Content-Range: bytes */<size>" and no body when it holds no byte of the
file; a malformed Range, or one of several ranges, is ignored (200).
With If-Range too, the range is honoured only when If-Range equals the
current ETag or Last-Modified exactly; otherwise the answer is a 200.

Every request is appended to <root>/requests.log as one JSON line:
{"time", "method", "path", "headers"}. When an answer to a GET ends,
<root>/responses.log gets one JSON line {"time", "path", "status", "from",
"length", "sent", "complete", "client_left"}: the status sent (0 if none),
the file offset at which the body began (0 but in a 206), the length of the
body (of the part in a 206), the bytes of it the client accepted, whether
that was all of it, and whether the client closed the connection before the
server was done.

The server stops by itself after --max-lifetime seconds and on SIGTERM.
"""

import argparse
import email.utils
import hashlib
import http.server
import json
import mmap
import os
import re
import select
import signal
import socket
import sys
import threading
import time
import urllib.parse

LOOPBACK_HOSTS = {"127.0.0.1": socket.AF_INET, "localhost": socket.AF_INET, "::1": socket.AF_INET6}
CONTENT_TYPES = {".exe": "application/octet-stream", ".txt": "text/plain", ".html": "text/html"}
REQUEST_LOG = "requests.log"
RESPONSE_LOG = "responses.log"
# Beside the root: what it holds changes each time a test clears the root.
GENERATION_FILE = "generation"
# Bodies go out in blocks, so that a client that goes away is noticed soon.
SEND_BLOCK = 64 * 1024
FAULT_SUFFIX = ".fault"
# One range of bytes: "N-", "N-M" or "-N"; a list of several does not match.
SINGLE_RANGE = re.compile(r"bytes[ \t]*=[ \t]*(\d*)[ \t]*-[ \t]*(\d*)", re.IGNORECASE)
UNSATISFIABLE = "unsatisfiable"


class FaultError(ValueError):
    pass


def parse_fault(line):
    """Returns (kind, args) for a sidecar's first line; ("", ()) for none."""
    words = line.split()
    if not words:
        return "", ()
    kind, args = words[0].lower(), words[1:]

    def numbers(convert, low, high):
        try:
            values = tuple(convert(a) for a in args)
        except ValueError:
            raise FaultError(f"bad numbers in fault line {line!r}") from None
        if not low <= len(values) <= high or any(v < 0 for v in values):
            raise FaultError(f"bad arguments in fault line {line!r}")
        return values

    if kind in ("status", "rangestatus"):
        (code,) = numbers(int, 1, 1)
        if not 200 <= code <= 599:
            raise FaultError(f"status out of range in fault line {line!r}")
        return kind, (code,)
    if kind in ("close", "norange"):
        return kind, numbers(int, 0, 0)
    if kind == "cut":
        values = numbers(int, 1, 2)
        if len(values) > 1 and values[1] == 0:
            raise FaultError(f"cut needs a count of at least one: {line!r}")
        return kind, (values[0], values[1] if len(values) > 1 else 1)
    if kind in ("stall", "hang"):
        return kind, numbers(float, 0, 1) or (60.0,)
    if kind == "pause":
        values = numbers(float, 1, 2)
        return kind, (int(values[0]), values[1] if len(values) > 1 else 60.0)
    if kind == "nolength":
        values = numbers(int, 0, 2)
        if len(values) == 1 or (values and values[0] == 0):
            raise FaultError(f"nolength takes no pacing or BYTES and MS: {line!r}")
        return kind, values
    if kind == "truncate":
        return kind, numbers(int, 1, 1)
    if kind == "trickle":
        size, ms = numbers(int, 2, 2)
        if size == 0:
            raise FaultError(f"trickle needs at least one byte per chunk: {line!r}")
        return kind, (size, ms)
    if kind == "delay":
        return kind, numbers(float, 1, 1)
    raise FaultError(f"unknown fault {kind!r}")


def parse_range(header, size):
    """The part of a file of size bytes that a Range header asks for, as
    (start, end) with end excluded; UNSATISFIABLE; or None when the header is
    to be ignored, being malformed or asking for several ranges."""
    match = SINGLE_RANGE.fullmatch(header.strip())
    if not match or not any(match.groups()):
        return None
    first, last = match.groups()
    if not first:
        count = int(last)
        return (max(size - count, 0), size) if count and size else UNSATISFIABLE
    start = int(first)
    if last and int(last) < start:
        return None
    if start >= size:
        return UNSATISFIABLE
    return start, min(int(last) + 1, size) if last else size


# Files above this size (the benchmark's installer, never a test's) are
# hashed once per version of the file rather than on every request.
LARGE_FILE = 16 * 1024 * 1024


def entity_tag(body):
    # From the bytes rather than the time: a rewrite within the file
    # system's timestamp granularity must still change it.
    return '"%x-%s"' % (len(body), hashlib.blake2b(body, digest_size=8).hexdigest())


def read_fault_line(file_path):
    try:
        with open(file_path + FAULT_SUFFIX, encoding="utf-8", errors="replace") as f:
            return f.readline()
    except FileNotFoundError:
        return ""


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ZspTestServer/1"
    # Idle keep-alive connections end, so that threads do not pile up.
    timeout = 120

    def do_GET(self):
        self._record()
        self._serve(send_body=True)

    def do_HEAD(self):
        self._record()
        self._serve(send_body=False)

    def _unsupported(self):
        # Logged too, so that a test sees a client using the wrong method.
        self._record()
        self.send_error(501)

    do_POST = do_PUT = do_DELETE = do_OPTIONS = do_PATCH = _unsupported

    def _record(self):
        headers = {}
        for name, value in self.headers.items():
            headers[name] = f"{headers[name]}, {value}" if name in headers else value
        entry = {"time": time.time(), "method": self.command, "path": self.path, "headers": headers}
        self._generation = self.server.generation()
        self.server.append_log(REQUEST_LOG, json.dumps(entry), self._generation)

    def _resolve(self):
        """The file for the request path, or None when it is missing or outside the root."""
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        if "\0" in path or ".." in path.split("/"):
            return None
        candidate = os.path.realpath(os.path.join(self.server.root, path.lstrip("/")))
        if os.path.commonpath([candidate, self.server.root]) != self.server.root:
            return None
        return candidate if os.path.isfile(candidate) else None

    def _serve(self, send_body):
        file_path = self._resolve()
        if file_path is None:
            self.send_error(404)
            return
        try:
            with open(file_path, "rb") as f:
                stat = os.fstat(f.fileno())
                # The benchmark's installer is mapped rather than read, so
                # that its first byte goes out as soon as a real server's.
                body = (mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
                        if stat.st_size > LARGE_FILE else f.read())
            kind, args = parse_fault(read_fault_line(file_path))
        except FaultError as e:
            self.log_error("%s", e)
            self.send_error(500, "Bad fault file", str(e))
            return
        except OSError:
            self.send_error(404)
            return

        if kind == "close":
            self.close_connection = True
            return
        if kind == "hang":
            self.close_connection = True
            self._log_response(0, 0, len(body), 0, self._hold(args[0]))
            return
        if kind == "delay":
            time.sleep(args[0] / 1000.0)

        validators = (self.server.tag_of(file_path, body, stat),
                      email.utils.formatdate(stat.st_mtime, usegmt=True))
        code, start, end = self._choose(kind, args, len(body), validators)
        stop = end
        if kind == "cut" and send_body and code in (200, 206):
            stop = self.server.claim_cut(file_path, start, end) or end
        closing = kind in ("stall", "truncate", "pause", "nolength") or stop != end
        self._send_head(file_path, code, (start, end, len(body)), validators, closing, kind)
        if kind == "stall":
            self._log_response(code, start, end - start, 0, self._hold(args[0]))
        elif send_body:
            self._send_body(code, body, (start, end, stop), kind, args)

    def _choose(self, kind, args, size, validators):
        """(status, start, end) of the answer, the body being bytes start to end."""
        ranges = self.headers.get_all("Range")
        if kind == "status" or (kind == "rangestatus" and ranges):
            return args[0], 0, size
        if kind == "norange" or self.command != "GET" or not ranges:
            return 200, 0, size
        if_range = self.headers.get("If-Range")
        if if_range is not None and if_range.strip() not in validators:
            return 200, 0, size
        # Several Range fields make a list of ranges, ignored as such.
        wanted = parse_range(", ".join(ranges), size)
        if wanted is None:
            return 200, 0, size
        if wanted == UNSATISFIABLE:
            return 416, 0, 0
        return 206, wanted[0], wanted[1]

    def _send_head(self, file_path, code, span, validators, closing, kind):
        start, end, size = span
        self.send_response(code)
        self.send_header("Content-Type", CONTENT_TYPES.get(os.path.splitext(file_path)[1].lower(),
                                                           "application/octet-stream"))
        if code != 204 and kind != "nolength":
            self.send_header("Content-Length", str(end - start))
        if code == 206:
            self.send_header("Content-Range", f"bytes {start}-{end - 1}/{size}")
        elif code == 416:
            self.send_header("Content-Range", f"bytes */{size}")
        if code in (200, 206):
            self.send_header("ETag", validators[0])
            if kind != "norange":
                self.send_header("Accept-Ranges", "bytes")
        self.send_header("Last-Modified", validators[1])
        if closing:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.flush()

    def _send_body(self, code, body, span, kind, args):
        """Sends bytes start to end of body, or only to stop when the answer is cut there."""
        start, end, stop = span
        length = 0 if code in (204, 304) else end - start
        # A view, not a copy: the benchmark's installer is 100 MB.
        part = memoryview(body)[start:stop] if length else b""
        left = False
        if kind in ("truncate", "pause"):
            sent, left = self._send(part[:args[0]])
            if kind == "pause" and not left:
                left = self._hold(args[1])
        elif kind == "trickle" or (kind == "nolength" and args):
            sent, left = self._trickle(part, *args)
        else:
            sent, left = self._send(part)
        self._log_response(code, start, length, sent, left)

    def _log_response(self, code, start, length, sent, client_left):
        self.server.append_log(RESPONSE_LOG, json.dumps(
            {"time": time.time(), "path": self.path, "status": code, "from": start,
             "length": length, "sent": sent, "complete": sent == length,
             "client_left": client_left}), self._generation)

    def _send(self, data):
        """Sends data in blocks; (bytes sent, whether the client went away)."""
        sent = 0
        try:
            for start in range(0, len(data), SEND_BLOCK):
                block = data[start:start + SEND_BLOCK]
                self.wfile.write(block)
                self.wfile.flush()
                sent += len(block)
        except OSError:
            self.close_connection = True
            return sent, True
        return sent, False

    def _hold(self, seconds):
        """Waits until the client goes away (True) or the time is up (False)."""
        deadline = time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            readable, _, _ = select.select([self.connection], [], [], left)
            if readable:
                try:
                    if not self.connection.recv(4096):
                        return True
                except OSError:
                    return True
        return False

    def _trickle(self, body, size, ms):
        sent = 0
        for start in range(0, len(body), size):
            if start:
                time.sleep(ms / 1000.0)
            block_sent, left = self._send(body[start:start + size])
            sent += block_sent
            if left:
                return sent, True
        return sent, False

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), format % args))
        sys.stderr.flush()


class Server(http.server.ThreadingHTTPServer):
    # A stalled connection must neither block others nor the shutdown.
    daemon_threads = True
    block_on_close = False

    def __init__(self, address, family, root):
        self.address_family = family
        self.root = os.path.realpath(root)
        self._log_lock = threading.Lock()
        self._cut_lock = threading.Lock()
        self._tags = {}
        self._tag_lock = threading.Lock()
        super().__init__(address, Handler)

    def generation(self):
        """What the generation file beside the root says: a test that clears
        the root writes a new one first."""
        try:
            with open(os.path.join(os.path.dirname(self.root), GENERATION_FILE), "rb") as f:
                return f.read()
        except OSError:
            return b""

    def append_log(self, name, line, generation):
        # An answer that ends after its test has cleared the root (a client
        # gone mid-answer, a hold that runs out) belongs to no later test.
        with self._log_lock:
            if generation != self.generation():
                return
            with open(os.path.join(self.root, name), "a", encoding="utf-8") as f:
                f.write(line + "\n")
                f.flush()

    def tag_of(self, file_path, body, stat):
        """The entity tag of body, the bytes of file_path as stat found it."""
        if len(body) <= LARGE_FILE:
            return entity_tag(body)
        key = (file_path, stat.st_size, stat.st_mtime_ns, stat.st_ctime_ns, stat.st_ino)
        with self._tag_lock:
            if key not in self._tags:
                self._tags.clear()
                self._tags[key] = entity_tag(body)
            return self._tags[key]

    def claim_cut(self, file_path, start, end):
        """The offset at which an answer carrying bytes start to end of the
        file is cut, taking one from the count of its cut line; None when it
        is not cut. Under a lock, so that two answers never take the same one."""
        sidecar = file_path + FAULT_SUFFIX
        with self._cut_lock:
            try:
                kind, args = parse_fault(read_fault_line(file_path))
            except (OSError, FaultError):
                return None
            if kind != "cut" or not start < args[0] < end:
                return None
            offset, count = args
            try:
                if count > 1:
                    # Replaced whole, so that a request reading it meanwhile
                    # never finds it empty.
                    with open(sidecar + ".new", "w", encoding="utf-8") as f:
                        f.write(f"cut {offset} {count - 1}\n")
                    os.replace(sidecar + ".new", sidecar)
                else:
                    os.remove(sidecar)
            except OSError:
                pass
            return offset

    def handle_error(self, request, client_address):
        # A client that goes away mid-answer is one of the cases under test.
        if not isinstance(sys.exc_info()[1], (ConnectionError, TimeoutError)):
            super().handle_error(request, client_address)


class Stop(Exception):
    pass


def main():
    parser = argparse.ArgumentParser(description="Loopback HTTP server for the tests")
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, required=True, help="0 picks a free port")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--pidfile")
    parser.add_argument("--max-lifetime", type=float, default=7200.0, metavar="SECONDS")
    options = parser.parse_args()

    if options.host not in LOOPBACK_HOSTS:
        parser.error(f"refusing to listen on {options.host!r}: loopback only "
                     f"({', '.join(LOOPBACK_HOSTS)})")
    if not os.path.isdir(options.root):
        parser.error(f"root folder {options.root!r} does not exist")

    host = "127.0.0.1" if options.host == "localhost" else options.host
    try:
        server = Server((host, options.port), LOOPBACK_HOSTS[options.host], options.root)
    except OSError as e:
        print(f"zsp_test_server: cannot listen on {host} port {options.port}: {e}", file=sys.stderr)
        return 1
    port = server.server_address[1]

    def stop(signum, frame):
        raise Stop()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    if options.pidfile:
        with open(options.pidfile, "w") as f:
            f.write(f"{os.getpid()}\n")
    serving = threading.Thread(target=server.serve_forever, daemon=True)
    serving.start()
    print(f"zsp_test_server: serving {server.root} on {host} port {port}", flush=True)
    try:
        time.sleep(options.max_lifetime)
        print("zsp_test_server: lifetime over, stopping", flush=True)
    except Stop:
        print("zsp_test_server: stopping on signal", flush=True)
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        server.shutdown()
        server.server_close()
        if options.pidfile:
            try:
                with open(options.pidfile) as f:
                    ours = f.read().strip() == str(os.getpid())
                if ours:
                    os.remove(options.pidfile)
            except OSError:
                pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
