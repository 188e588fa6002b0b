#!/usr/bin/env python3
"""Loopback web server for the web robot's tests and the demo.

Prints its port on the first line of standard output, then serves until it is killed:
  /forms.html         two forms: 0 (GET, user/pass/agree) and 1 (POST, note and a button "go")
  /echo               shows the method and what arrived (query or body) inside <p id="got">
  /slow.html?s=N      a body streamed over N seconds, with MARKER-EARLY at its start
  /images.html        images named logo.gif, "a b.png", show.jpg?id=7 and one without "/"
  /img/...            image bytes (the path's name repeated)
  /broken-img.png     sends half of its announced length, then closes
  /login.html?user=U  sets the cookie session=U and shows an image that needs it
  /private.png        403 without the cookie
  /noimages.html, /error500, /login-form.html, /account (the demo's pages)
"""
import html
import sys
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FORMS = b"""<html><body><h1>Forms</h1>
<form name="login" action="/echo" method="get">
<input type="text" name="user" value="">
<input type="password" name="pass" value="">
<input type="checkbox" name="agree" checked>
<input type="submit" name="send" value="Send">
</form>
<form name="note" action="/echo" method="post">
<input type="text" name="note" value="hello">
<input type="submit" name="go" value="Go">
</form>
</body></html>"""

IMAGES = b"""<html><body>
<img src="/img/logo.gif" name="logoname">
<img src="/img/a b.png">
<img src="/img/show.jpg?id=7" id="pic7">
<img src="data:,nodata">
</body></html>"""

LOGIN_FORM = b"""<html><body><h1>Demo shop</h1>
<form action="/account" method="post">
User <input type="text" name="user"> Password <input type="password" name="pass">
<input type="submit" name="go" value="Log in">
</form></body></html>"""


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        pass

    def send_page(self, body, status=200, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=iso-8859-1")
        self.send_header("Content-Length", str(len(body)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)

    def cookie(self, name):
        for part in self.headers.get("Cookie", "").split(";"):
            k, _, v = part.strip().partition("=")
            if k == name:
                return v
        return None

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        data = self.rfile.read(length).decode("latin-1")
        self.route(data)

    def do_GET(self):
        self.route(None)

    def route(self, posted):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        path = url.path
        if path == "/forms.html":
            self.send_page(FORMS)
        elif path == "/echo":
            got = posted if posted is not None else url.query
            method = "POST" if posted is not None else "GET"
            self.send_page(("<html><body><p id=\"method\">%s</p><p id=\"got\">%s</p></body></html>"
                            % (method, html.escape(got))).encode("latin-1"))
        elif path == "/slow.html":
            seconds = float(query.get("s", ["8"])[0])
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.end_headers()
            self.wfile.write(b"<html><body><p>MARKER-EARLY</p>" + b"<!-- pad -->" * 200)
            self.wfile.flush()
            end = time.time() + seconds
            n = 0
            try:
                while time.time() < end:
                    time.sleep(0.25)
                    n += 1
                    self.wfile.write(b"<p>part %d</p>" % n)
                    self.wfile.flush()
                self.wfile.write(b"<p>THE-END</p></body></html>")
            except OSError:
                pass
        elif path == "/images.html":
            self.send_page(IMAGES)
        elif path == "/noimages.html":
            self.send_page(b"<html><body><p>No pictures here</p></body></html>")
        elif path.startswith("/img/"):
            body = urllib.parse.unquote(path[5:]).encode("latin-1") * 3
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif path == "/broken-img.png":
            self.send_response(200)
            self.send_header("Content-Type", "image/png")
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"x" * 1000)
            self.wfile.flush()
            self.close_connection = True
        elif path == "/login.html":
            user = query.get("user", ["guest"])[0]
            self.send_page(b"<html><body><p>Welcome</p><img src=\"/private.png\" id=\"secret\"></body></html>",
                           headers=[("Set-Cookie", "session=%s; Path=/" % user)])
        elif path == "/private.png":
            if self.cookie("session"):
                body = b"PRIVATE-" + self.cookie("session").encode("latin-1")
                self.send_response(200)
                self.send_header("Content-Type", "image/png")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
            else:
                self.send_page(b"forbidden", status=403)
        elif path == "/error500":
            self.send_page(b"<html><body><p>Server trouble</p></body></html>", status=500)
        elif path == "/login-form.html":
            self.send_page(LOGIN_FORM)
        elif path == "/account":
            fields = urllib.parse.parse_qs(posted or "")
            user = fields.get("user", [""])[0]
            if user and fields.get("pass", [""])[0]:
                self.send_page(("<html><body><p>Account of <b id=\"user\">%s</b></p>"
                                "<p>Balance: <span id=\"balance\">1234.50</span></p></body></html>"
                                % html.escape(user)).encode("latin-1"))
            else:
                self.send_page(b"<html><body><p>Login failed</p></body></html>", status=403)
        else:
            self.send_page(b"<html><body>not found</body></html>", status=404)


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
