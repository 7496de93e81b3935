#!/usr/bin/python3
"""Self-test of the loopback fake services, run on the Linux side."""
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

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
