#!/usr/bin/python3
"""Four registry operators on 127.0.0.1 with limits of their own, for bench/operators.sh.

    /usr/bin/python3 bench/operator_registries.py LOG

Prints "ORG DE IO ME XYZ RDAP", the ports, on one line and serves until it is killed:
  ORG            .org, PIR's answers; 5 a second (a bucket of 5) and 50 in a rolling minute, as the
                 operators file declares; past either it answers its limit text
  DE             .de, DENIC's answers; 2 a second, strictly (one query per 0.5 s), published nowhere;
                 past it the limit text
  IO, ME, XYZ    three TLDs of one operator sharing 3 a second (a bucket of 3), as declared; past it
                 the connection is reset
  RDAP           an RDAP service (any TLD, every name free: 404); one query a second, strictly;
                 past it 429 with Retry-After: 1
A refused query does not count against the limit. LOG gets one line per query:
    OPERATOR <tab> ARRIVAL (monotonic seconds) <tab> NAME <tab> answered|refused
Every query is hostile input: at most 4 KB is read, for at most 10 s.
"""

import http.server
import socket
import socketserver
import struct
import sys
import threading
import time

log_lock = threading.Lock()
LOG = None


def note(operator, name, refused):
    with log_lock:
        LOG.write("%s\t%.6f\t%s\t%s\n" % (operator, time.monotonic(), name, "refused" if refused else "answered"))
        LOG.flush()


class Limit:
    """A token bucket of `burst` refilled at `rate` a second, and optionally at most `count` in any
    `window` seconds."""

    def __init__(self, rate, burst, count=0, window=0):
        self.rate, self.burst, self.count, self.window = rate, burst, count, window
        self.tokens, self.at, self.taken = float(burst), time.monotonic(), []
        self.lock = threading.Lock()

    def take(self):
        with self.lock:
            now = time.monotonic()
            self.tokens = min(self.burst, self.tokens + (now - self.at) * self.rate)
            self.at = now
            self.taken = [t for t in self.taken if t > now - self.window]
            if self.tokens < 1 - 1e-9 or (self.count and len(self.taken) >= self.count):
                return False
            self.tokens -= 1
            self.taken.append(now)
            return True


def whois(operator, prefix, limit, answer, refusal):
    class Handler(socketserver.BaseRequestHandler):
        def handle(self):
            conn = self.request
            conn.settimeout(10)
            data = b""
            try:
                while b"\n" not in data and len(data) < 4096:
                    piece = conn.recv(4096)
                    if not piece:
                        break
                    data += piece
            except OSError:
                return
            query = data.split(b"\n")[0].strip().decode("ascii", "replace")
            name = query[len(prefix):] if query.startswith(prefix) else query
            allowed = limit.take()
            note(operator, name, not allowed)
            try:
                if not allowed and refusal is None:
                    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    return
                conn.sendall((answer(name) if allowed else refusal).encode("ascii", "replace"))
            except OSError:
                pass
    return Handler


def rdap(limit):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            name = self.path.rsplit("/", 1)[-1]
            allowed = limit.take()
            note("RDAP", name, not allowed)
            body = b'{"errorCode":404}' if allowed else b'{"errorCode":429}'
            self.send_response(404 if allowed else 429)
            self.send_header("Content-Type", "application/rdap+json")
            if not allowed:
                self.send_header("Retry-After", "1")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass
    return Handler


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


class HttpServer(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main():
    global LOG
    LOG = open(sys.argv[1], "a", encoding="utf-8")
    shared = Limit(3, 3)
    free = "Domain not found.\r\n>>> Last update of WHOIS database: 2026-12-06T22:00:00Z <<<\r\n"
    servers = [
        Server(("127.0.0.1", 0), whois("ORG", "", Limit(5, 5, 50, 60), lambda n: free,
                                       "WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS\r\n")),
        Server(("127.0.0.1", 0), whois("DE", "-T dn,ace ", Limit(2, 1), lambda n: "Domain: %s\r\nStatus: free\r\n" % n,
                                       "Error: 55000000002 Connection refused; access control limit reached.\r\n")),
    ] + [Server(("127.0.0.1", 0), whois("SHARED", "", shared, lambda n: free, None)) for _ in range(3)] + [
        HttpServer(("127.0.0.1", 0), rdap(Limit(1, 1)))]
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print(" ".join(str(server.server_address[1]) for server in servers), flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
