#!/usr/bin/python3
"""Three rate-limited scripted WHOIS registries on 127.0.0.1, for bench/pace.sh.

    /usr/bin/python3 bench/scripted_registry.py LOG [INTERVAL]

Listens on three ports of 127.0.0.1 (chosen by the system), prints them on one line as
"VERISIGN PIR DENIC" and serves until it is killed:
  VERISIGN  .com and .net, one registry for both as Verisign runs them ("DO name" queries)
  PIR       .org ("name")
  DENIC     .de ("-T dn,ace name")
Each registry allows one query per INTERVAL seconds (default 1): a query that arrives less than
INTERVAL after the previous query's arrival at the same registry is refused, the way that
registry refuses (PIR and DENIC answer with their limit text, Verisign's is not published, so it
resets the connection). A name whose first label contains "taken" is registered; every other name
is free. The answers carry each registry's own free and registered phrases (see the .com, .org
and .de rows of data/whois-servers.tsv for their sources).

LOG gets one line per query, written as it arrives:
    REGISTRY <tab> ARRIVAL (seconds, monotonic) <tab> NAME <tab> answered|refused <tab> OPEN
where OPEN counts that registry's connections open at that moment, this one included (more than 1
means a client asked the registry twice at once).

Every query is hostile input: at most 4 KB is read, for at most 10 s.
"""

import socket
import socketserver
import struct
import sys
import threading
import time

INTERVAL = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
NOTICE = ("\r\n>>> Last update of whois database: 2026-12-06T22:00:00Z <<<\r\n\r\n"
          + "TERMS OF USE: You are not authorized to access or query our Whois\r\n" * 6)


def verisign(name, taken):
    upper = name.upper()
    if taken:
        return ("   Domain Name: " + upper + "\r\n   Registry Domain ID: 1234_DOMAIN_COM-VRSN\r\n"
                "   Registrar: Example Registrar, Inc.\r\n   Name Server: NS1.EXAMPLE.TEST\r\n" + NOTICE)
    return 'No match for "' + upper + '".' + NOTICE


def pir(name, taken):
    if taken:
        return ("Domain Name: " + name + "\r\nRegistry Domain ID: 1234-LROR\r\n"
                "Registrar: Example Registrar, Inc.\r\nName Server: ns1.example.test\r\n" + NOTICE)
    return "Domain not found.\r\n>>> Last update of WHOIS database: 2026-12-06T22:00:00Z <<<\r\n"


def denic(name, taken):
    if taken:
        return ("Domain: " + name + "\r\nNserver: ns1.example.test\r\nStatus: connect\r\n"
                "Changed: 2026-01-01T00:00:00+01:00\r\n")
    return "Domain: " + name + "\r\nStatus: free\r\n"


REGISTRIES = [
    # name, query prefix, answer, refusal (None: reset the connection)
    ("VERISIGN", "DO ", verisign, None),
    ("PIR", "", pir, "WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS\r\n"),
    ("DENIC", "-T dn,ace ", denic,
     "Error: 55000000002 Connection refused; access control limit reached. Max. connections per"
     " second exceeded.\r\n"),
]

log_lock = threading.Lock()


def make_handler(registry, log):
    label, prefix, answer, refusal = registry
    state = {"last": None, "open": 0}
    lock = threading.Lock()

    class Handler(socketserver.BaseRequestHandler):
        def handle(self):
            conn = self.request
            with lock:
                state["open"] += 1
            try:
                self.serve(conn)
            finally:
                with lock:
                    state["open"] -= 1

        def serve(self, conn):
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
            arrival = time.monotonic()
            query = data.split(b"\n")[0].strip().decode("ascii", "replace")
            name = query[len(prefix):] if query.startswith(prefix) else query
            with lock:
                refused = state["last"] is not None and arrival - state["last"] < INTERVAL
                state["last"] = arrival
                open_now = state["open"]
            with log_lock:
                log.write("%s\t%.6f\t%s\t%s\t%d\n"
                          % (label, arrival, name, "refused" if refused else "answered", open_now))
                log.flush()
            try:
                if refused and refusal is None:
                    # A reset instead of an orderly close.
                    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    return
                text = refusal if refused else answer(name, "taken" in name.split(".")[0].lower())
                conn.sendall(text.encode("ascii", "replace"))
            except OSError:
                pass

    return Handler


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: scripted_registry.py LOG [INTERVAL]")
    log = open(sys.argv[1], "a", encoding="utf-8")
    servers = [Server(("127.0.0.1", 0), make_handler(registry, log)) for registry in REGISTRIES]
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print(" ".join(str(server.server_address[1]) for server in servers), flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
