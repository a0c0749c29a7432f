#!/usr/bin/python3
"""Records the bytes of the check request that LibreOffice's own grammar checker sends.

    /usr/bin/python3 tools/capture_office_request.py OUT.http [TEXT]

A tiny listener on a free loopback port answers GET /v2/languages with zh-CN and records the
first POST /v2/check request (request line, headers and body) to OUT.http; LibreOffice is pointed
at it and asked to check TEXT (by default a Chinese paragraph holding & = % + and an emoji).
tests/data/libreoffice_check_request.http was made this way with LibreOffice 7.4.
"""

import json
import socket
import sys
import threading

from office_uno import Office

SAMPLE = "他们再接再励，把A&B=C的100%做到1+1。😀再接再励！"


def listen(recorded):
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(4)

    def serve():
        while True:
            connection, _ = server.accept()
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                data += chunk
            head, _, body = data.partition(b"\r\n\r\n")
            length = 0
            for line in head.split(b"\r\n")[1:]:
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value)
            while len(body) < length:
                body += connection.recv(65536)
            if head.startswith(b"GET /v2/languages"):
                answer = [{"name": "中文", "code": "zh", "longCode": "zh-CN"}]
            else:
                recorded.setdefault("request", head + b"\r\n\r\n" + body)
                answer = {"matches": []}
            payload = json.dumps(answer).encode()
            connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                               b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(payload)
                               + payload)
            connection.close()

    threading.Thread(target=serve, daemon=True).start()
    return server.getsockname()[1]


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    text = sys.argv[2] if len(sys.argv) == 3 else SAMPLE
    recorded = {}
    port = listen(recorded)
    with Office() as office:
        office.use_server("http://127.0.0.1:%d/v2" % port)
        checker = office.checker()
        if not checker.hasLocale(office.locale()):
            sys.exit("LibreOffice does not take zh-CN from the listener")
        office.proofread(checker, text, office.locale())
    if "request" not in recorded:
        sys.exit("LibreOffice sent no check request")
    with open(sys.argv[1], "wb") as out:
        out.write(recorded["request"])


if __name__ == "__main__":
    main()
