#!/usr/bin/python3
"""Self-test of the loopback fake services, run on the Linux side."""
import base64
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake_services.py")


def pattern(offset, size):
    return bytes((offset + i) % 251 for i in range(size))


class Server:
    def __init__(self, *args):
        self.log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(
            ["/usr/bin/python3", SCRIPT] + list(args),
            stdout=subprocess.PIPE, stderr=self.log)
        line = self.proc.stdout.readline().decode()
        assert line.startswith("READY "), line
        self.ports = json.loads(line[6:])
        self.port = self.ports["http_port"]

    def request(self, method, path, body=None, headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        conn.request(method, path, body=body, headers=headers or {})
        response = conn.getresponse()
        data = response.read()
        conn.close()
        return response, data

    def requests(self):
        return json.loads(self.request("GET", "/_control/requests")[1])

    def stop(self):
        if self.proc.poll() is None:
            self.request("POST", "/_control/shutdown")
        self.proc.wait(timeout=10)
        self.close()

    def close(self):
        self.proc.stdout.close()
        self.log.close()


class FakeServicesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server("--no-lease", "--max-seconds", "120")

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_content_and_ranges(self):
        s = self.server
        r, data = s.request("GET", "/content/a?size=1000")
        self.assertEqual(200, r.status)
        self.assertEqual(pattern(0, 1000), data)
        r, data = s.request("GET", "/content/a?size=1000", headers={"Range": "bytes=990-"})
        self.assertEqual(206, r.status)
        self.assertEqual("bytes 990-999/1000", r.getheader("Content-Range"))
        self.assertEqual(pattern(990, 10), data)
        r, _ = s.request("GET", "/content/a?size=1000", headers={"Range": "bytes=1000-"})
        self.assertEqual(416, r.status)
        r, data = s.request("GET", "/content/a?size=100&norange=1",
                            headers={"Range": "bytes=10-"})
        self.assertEqual(200, r.status)
        self.assertEqual(100, len(data))

    def test_rules_expire_and_later_rules_win(self):
        s = self.server
        rule = {"path": "/stats/event", "behaviour": {"status": 503}, "times": 1}
        s.request("POST", "/_control/rules", json.dumps(rule))
        s.request("POST", "/_control/rules",
                  json.dumps({"prefix": "/stats/", "behaviour": {"text": "ok"}}))
        # The prefix rule came later and wins; the expiring one never fires.
        r, data = s.request("GET", "/stats/event?x=1")
        self.assertEqual((200, b"ok"), (r.status, data))
        s.request("POST", "/_control/rules", json.dumps(rule))
        self.assertEqual(503, s.request("GET", "/stats/event")[0].status)
        self.assertEqual(200, s.request("GET", "/stats/event")[0].status)
        self.assertEqual(404, s.request("GET", "/elsewhere")[0].status)

    def test_records_requests_with_bodies(self):
        s = self.server
        s.request("POST", "/content/upload?text=ok", body=b"payload",
                  headers={"X-Test": "1"})
        last = s.requests()[-1]
        self.assertEqual("POST", last["method"])
        self.assertEqual("/content/upload?text=ok", last["path"])
        self.assertIn(["X-Test", "1"], last["headers"])
        self.assertEqual(7, last["request_body_size"])
        self.assertTrue(last["complete"])
        self.assertEqual(200, last["status"])

    def test_drop_and_no_length(self):
        s = self.server
        conn = http.client.HTTPConnection("127.0.0.1", s.port, timeout=10)
        conn.request("GET", "/content/d?size=10000&drop=300")
        response = conn.getresponse()
        self.assertEqual("10000", response.getheader("Content-Length"))
        with self.assertRaises(http.client.IncompleteRead) as caught:
            response.read()
        self.assertEqual(300, len(caught.exception.partial))
        r, data = s.request("GET", "/content/n?size=5000&nolength=1")
        self.assertIsNone(r.getheader("Content-Length"))
        self.assertEqual(pattern(0, 5000), data)

    def test_redirect_made_absolute(self):
        r, _ = self.server.request("GET", "/content/r?redirect=/content/t")
        self.assertEqual(302, r.status)
        self.assertEqual("http://127.0.0.1:%d/content/t" % self.server.port,
                         r.getheader("Location"))

    def test_statistics_answered_and_recorded_when_client_leaves_at_once(self):
        s = self.server
        path = "/installstats/send/dtype=stred/pid=457/cid=72992/path=extended_stat/vars=-a=b/*"
        r, data = s.request("GET", path)
        self.assertEqual((200, b""), (r.status, data))
        # The installer closes each request as soon as it has gone out.
        with socket.create_connection(("127.0.0.1", s.port)) as sock:
            sock.sendall(("GET %s_2 HTTP/1.1\r\nHost: x\r\n\r\n" % path).encode())
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            if any(r["path"] == path + "_2" for r in s.requests()):
                break
            time.sleep(0.05)
        self.assertIn(path + "_2", [r["path"] for r in s.requests()])
        self.assertEqual(404, s.request("GET", "/installstats/other")[0].status)


BOUNDARY = "---MultipartBoundary-0123456789abcdefghijABCDEFGHIJ01---"


def crash_body(parts):
    """A multipart body as the crash upload writes it, gzip-compressed."""
    body = b""
    for name, value, filename in parts:
        body += b"--" + BOUNDARY.encode() + b"\r\n"
        body += b'Content-Disposition: form-data; name="' + name.encode() + b'"'
        if filename is None:
            body += b"\r\n\r\n" + value + b"\r\n"
        else:
            body += (b'; filename="' + filename.encode() +
                     b'"\r\nContent-Type: application/octet-stream\r\n\r\n' +
                     value + b"\r\n")
    body += b"--" + BOUNDARY.encode() + b"--\r\n"
    compressor = zlib.compressobj(wbits=31)
    return compressor.compress(body) + compressor.flush()


class CrashCollectorTest(unittest.TestCase):
    HEADERS = {"Content-Type": "multipart/form-data; boundary=" + BOUNDARY,
               "Content-Encoding": "gzip"}

    @classmethod
    def setUpClass(cls):
        cls.server = Server("--no-lease", "--max-seconds", "120")

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def post_chunked(self, body, path="/submit?product=Norvel&guid=a%20b"):
        conn = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        # Pieces of 1000 bytes, each its own chunk.
        pieces = (body[i:i + 1000] for i in range(0, len(body), 1000))
        conn.request("POST", path, body=pieces, headers=self.HEADERS,
                     encode_chunked=True)
        response = conn.getresponse()
        data = response.read()
        conn.close()
        return response.status, data, self.server.requests()[-1]

    def test_chunked_gzip_multipart_report(self):
        dump = bytes(range(256)) * 20 + b"\r\n--" + b"x" * 10
        status, _, record = self.post_chunked(crash_body([
            ("ver", b"24.7.1.1076", None), ("prod", b"Norvel", None),
            ("upload_file_minidump", dump, "U.dmp")]))
        self.assertEqual(200, status)
        crash = record["crash"]
        self.assertEqual([["product", "Norvel"], ["guid", "a b"]], crash["query"])
        # Body order, not sorted here.
        self.assertEqual([["ver", "24.7.1.1076"], ["prod", "Norvel"]], crash["fields"])
        [attachment] = crash["attachments"]
        self.assertEqual(("upload_file_minidump", "U.dmp", "application/octet-stream"),
                         (attachment["name"], attachment["filename"], attachment["type"]))
        self.assertEqual(dump, base64.b64decode(attachment["data_b64"]))
        self.assertTrue(crash["body_complete"])

    def test_body_after_the_answer(self):
        # As Wine 8's WinHTTP sends it: "Content-Length: 0" beside chunking,
        # and the chunks only once the answer has come.
        body = crash_body([("k", b"v", None)])
        sock = socket.create_connection(("127.0.0.1", self.server.port), timeout=10)
        head = ("POST /submit HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n"
                "Transfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n"
                "Content-Type: %s\r\n\r\n" % self.HEADERS["Content-Type"])
        sock.sendall(head.encode())
        answer = b""
        while not answer.endswith(b"\r\n\r\nok"):
            answer += sock.recv(1000)
        self.assertTrue(answer.startswith(b"HTTP/1.1 200"))
        framed = b"%x\r\n" % len(body) + body + b"\r\n0\r\n\r\n"
        sock.sendall(framed)
        self.assertEqual(b"", sock.recv(1000))  # closed after the body
        sock.close()
        record = self.server.requests()[-1]
        self.assertEqual([["k", "v"]], record["crash"]["fields"])
        self.assertEqual(framed, base64.b64decode(record["request_body_b64"]))

    def test_rule_status_and_undecodable_bodies(self):
        s = self.server
        s.request("POST", "/_control/rules", json.dumps(
            {"path": "/submit", "behaviour": {"status": 500}, "times": 1}))
        status, _, record = self.post_chunked(crash_body([]))
        self.assertEqual((500, []), (status, record["crash"]["fields"]))
        status, data, record = self.post_chunked(b"not gzip at all")
        self.assertEqual(400, status)
        self.assertIn(b"gzip: ", data)
        self.assertEqual(data.decode(), record["crash"]["error"])
        # A gzip stream cut short.
        status, data, _ = self.post_chunked(crash_body([])[:-8])
        self.assertEqual((400, b"gzip: stream incomplete or followed by bytes"),
                         (status, data))


class LeaseTest(unittest.TestCase):
    def test_server_ends_when_lease_closes(self):
        server = Server("--max-seconds", "60")
        lease = socket.create_connection(("127.0.0.1", server.port))
        lease.sendall(b"GET /_control/lease HTTP/1.1\r\nHost: x\r\n\r\n")
        time.sleep(0.3)
        self.assertIsNone(server.proc.poll())
        lease.close()
        self.assertEqual(0, server.proc.wait(timeout=10))
        server.close()

    def test_server_ends_without_lease(self):
        server = Server("--lease-timeout", "0.5")
        self.assertEqual(0, server.proc.wait(timeout=10))
        server.close()


if __name__ == "__main__":
    unittest.main()
