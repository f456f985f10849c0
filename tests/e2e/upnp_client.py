#!/usr/bin/env python3
"""A small UPnP AV control point (standard library only) that prints JSON;
run it inside scripts/netns-run.sh (it talks SSDP).

  upnp_client.py msearch TARGET [--timeout S] [--repeat N]   every answer
  upnp_client.py list LOCATION      items, paged by 10 until an empty page
  upnp_client.py headers LOCATION   heads of search, description, Browse, stream
"""
import argparse
import json
import socket
import sys
import time
import urllib.parse
import xml.etree.ElementTree as ET

BROWSE = '"urn:schemas-upnp-org:service:ContentDirectory:1#Browse"'
DIDL = "{urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/}"
DC, UPNP = "{http://purl.org/dc/elements/1.1/}", "{urn:schemas-upnp-org:metadata-1-0/upnp/}"
DEVICE = "{urn:schemas-upnp-org:device-1-0}"


def msearch(target, timeout=2.0, repeat=1):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    text = ("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"
            'MAN: "ssdp:discover"\r\nMX: 1\r\nST: %s\r\n\r\n' % target).encode()
    for i in range(repeat):
        s.sendto(text, ("239.255.255.250", 1900))
        if i % 10 == 9:
            time.sleep(0.01)  # a burst would overrun the server's 16 KiB buffer
    answers, end = [], time.monotonic() + timeout
    while time.monotonic() < end:
        s.settimeout(max(0.01, end - time.monotonic()))
        try:
            answers.append(s.recv(65536).decode("latin-1"))
        except socket.timeout:
            pass
    return answers


def fields(head):
    return [[n, v.strip()] for n, _, v in (l.partition(":") for l in head.split("\r\n")[1:]) if _]


def request(url, method="GET", headers=None, body=b"", head_only=False, timeout=10):
    """(head text, body bytes) of one exchange on its own connection."""
    u = urllib.parse.urlsplit(url)
    lines = ["%s %s HTTP/1.1" % (method, u.path or "/"), "Host: " + u.netloc, "Connection: close"]
    lines += ["%s: %s" % h for h in (headers or {}).items()]
    lines += ["Content-Length: %d" % len(body)] if body else []
    s = socket.create_connection((u.hostname, u.port), timeout=timeout)
    s.sendall(("\r\n".join(lines) + "\r\n\r\n").encode() + body)
    data = b""
    while b"\r\n\r\n" not in data and (chunk := s.recv(65536)):
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    head = head.decode("latin-1")
    length = [int(v) for n, v in fields(head) if n.lower() == "content-length"]
    while not head_only and method != "HEAD" and (not length or len(rest) < length[0]):
        if not (chunk := s.recv(65536)):
            break
        rest += chunk
    s.close()
    return head, rest


def control_url(location):
    root = ET.fromstring(request(location)[1])
    for service in root.iter(DEVICE + "service"):
        if "ContentDirectory" in service.findtext(DEVICE + "serviceType"):
            return urllib.parse.urljoin(location, service.findtext(DEVICE + "controlURL"))
    raise RuntimeError("no ContentDirectory at " + location)


def browse(control, object_id, start=0, count=10, flag="BrowseDirectChildren"):
    """(head, items, container ids, NumberReturned, TotalMatches)."""
    body = ('<?xml version="1.0" encoding="utf-8"?><s:Envelope xmlns:s="http://schemas.xmlsoap'
            '.org/soap/envelope/" s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/">'
            '<s:Body><u:Browse xmlns:u="urn:schemas-upnp-org:service:ContentDirectory:1">'
            "<ObjectID>%s</ObjectID><BrowseFlag>%s</BrowseFlag><Filter>*</Filter><StartingIndex>"
            "%d</StartingIndex><RequestedCount>%d</RequestedCount><SortCriteria></SortCriteria>"
            "</u:Browse></s:Body></s:Envelope>" % (object_id, flag, start, count))
    head, reply = request(control, "POST", {"Content-Type": 'text/xml; charset="utf-8"',
                                            "SOAPAction": BROWSE}, body.encode())
    values = {e.tag.split("}")[-1]: e.text for e in ET.fromstring(reply).iter()}
    didl = ET.fromstring(values["Result"])
    items = []
    for item in didl.findall(DIDL + "item"):
        res = item.find(DIDL + "res")
        items.append({"id": item.get("id"), "title": item.findtext(DC + "title"),
                      "albumArtURI": item.findtext(UPNP + "albumArtURI"), "res": res.text,
                      "protocolInfo": res.get("protocolInfo"),
                      "resolution": res.get("resolution")})
    containers = [c.get("id") for c in didl.findall(DIDL + "container")]
    return head, items, containers, int(values["NumberReturned"]), int(values["TotalMatches"])


def list_all(control, object_id="0", count=10, depth=3):
    """Every item under the object, paged by StartingIndex until an empty
    page, containers descended; and the number of pages asked for."""
    items, pages, start = [], 0, 0
    while pages < 1000:
        _, page, containers, returned, _ = browse(control, object_id, start, count)
        pages += 1
        if returned == 0:
            return items, pages
        items += page
        for c in containers if depth > 0 else []:
            sub, subpages = list_all(control, c, count, depth - 1)
            items, pages = items + sub, pages + subpages
        start += returned
    return items, pages


def headers(location, target):
    control = control_url(location)
    items = list_all(control)[0]
    at = urllib.parse.urlsplit(location)
    search = [f for a in msearch(target) for f in [fields(a)] if any(
        n.lower() == "location" and urllib.parse.urlsplit(v)[2:] == at[2:] and
        urllib.parse.urlsplit(v).port == at.port for n, v in f)]
    return {"search": search[0] if search else [], "description": fields(request(location)[0]),
            "browse": fields(browse(control, "0")[0]),
            "stream": fields(request(items[0]["res"], headers={"getcontentFeatures.dlna.org": "1"},
                                      head_only=True)[0]) if items else []}


def main():
    p = argparse.ArgumentParser()
    p.add_argument("command", choices=["msearch", "list", "headers"])
    p.add_argument("arg")
    p.add_argument("--timeout", type=float, default=2.0)
    p.add_argument("--repeat", type=int, default=1)
    a = p.parse_args()
    if a.command == "msearch":
        out = msearch(a.arg, a.timeout, a.repeat)
    elif a.command == "list":
        items, pages = list_all(control_url(a.arg))
        out = {"items": items, "pages": pages}
    else:
        out = headers(a.arg, "urn:schemas-upnp-org:device:MediaServer:1")
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
