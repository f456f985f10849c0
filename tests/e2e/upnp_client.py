#!/usr/bin/env python3
"""A small UPnP AV control point (standard library only): finds a media
server with SSDP, reads its description, browses its ContentDirectory page by
page and fetches what the items point at. Prints JSON for the tests and the
benchmark; run it inside scripts/netns-run.sh (it talks SSDP).

  upnp_client.py msearch TARGET [--timeout S] [--raw TEXT]
  upnp_client.py list LOCATION [--count N]
  upnp_client.py headers LOCATION [--target T]
"""
import argparse
import json
import socket
import sys
import time
import urllib.parse
import xml.etree.ElementTree as ET

GROUP = ("239.255.255.250", 1900)
BROWSE = '"urn:schemas-upnp-org:service:ContentDirectory:1#Browse"'
NS = {
    "d": "urn:schemas-upnp-org:device-1-0",
    "didl": "urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/",
    "dc": "http://purl.org/dc/elements/1.1/",
    "upnp": "urn:schemas-upnp-org:metadata-1-0/upnp/",
}


def msearch(target, timeout=2.0, raw=None, repeat=1):
    """Every answer (text) to an M-SEARCH sent `repeat` times at once, within
    the time-out."""
    text = raw or ("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"
                   'MAN: "ssdp:discover"\r\nMX: 1\r\nST: %s\r\n\r\n' % target)
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, 2)
    s.bind(("0.0.0.0", 0))
    for _ in range(repeat):
        s.sendto(text.encode("latin-1"), GROUP)
    answers, end = [], time.monotonic() + timeout
    while True:
        left = end - time.monotonic()
        if left <= 0:
            break
        s.settimeout(left)
        try:
            data, _ = s.recvfrom(65536)
        except socket.timeout:
            break
        answers.append(data.decode("latin-1"))
    s.close()
    return answers


def head_fields(head):
    """(status line, [(name, value)]) of a head's text."""
    lines = head.split("\r\n")
    fields = []
    for line in lines[1:]:
        if ":" in line:
            name, value = line.split(":", 1)
            fields.append((name, value.strip()))
    return lines[0], fields


def request(url, method="GET", headers=None, body=b"", head_only=False, timeout=10):
    """One HTTP/1.1 exchange on its own connection: (head text, body bytes).
    With head_only the connection closes once the head is in."""
    u = urllib.parse.urlsplit(url)
    path = u.path + ("?" + u.query if u.query else "")
    lines = ["%s %s HTTP/1.1" % (method, path or "/"), "Host: %s" % u.netloc,
             "Connection: close"]
    for name, value in (headers or {}).items():
        lines.append("%s: %s" % (name, value))
    if body:
        lines.append("Content-Length: %d" % len(body))
    raw = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body
    s = socket.create_connection((u.hostname, u.port or 80), timeout=timeout)
    s.sendall(raw)
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = s.recv(65536)
        if not chunk:
            break
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    head = head.decode("latin-1")
    if not head_only and method != "HEAD":
        length = None
        for name, value in head_fields(head)[1]:
            if name.lower() == "content-length":
                length = int(value)
        while length is None or len(rest) < length:
            chunk = s.recv(65536)
            if not chunk:
                break
            rest += chunk
    s.close()
    return head + "\r\n\r\n", rest


def description(location):
    """The ContentDirectory control URL of the device at `location`."""
    _, body = request(location)
    root = ET.fromstring(body)
    for service in root.iter("{%s}service" % NS["d"]):
        kind = service.findtext("d:serviceType", "", NS)
        if "ContentDirectory" in kind:
            return urllib.parse.urljoin(location, service.findtext("d:controlURL", "", NS))
    raise RuntimeError("no ContentDirectory in " + location)


def soap_browse(object_id, flag, start, count):
    return ('<?xml version="1.0" encoding="utf-8"?>\r\n'
            '<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" '
            's:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body>'
            '<u:Browse xmlns:u="urn:schemas-upnp-org:service:ContentDirectory:1">'
            "<ObjectID>%s</ObjectID><BrowseFlag>%s</BrowseFlag><Filter>*</Filter>"
            "<StartingIndex>%d</StartingIndex><RequestedCount>%d</RequestedCount>"
            "<SortCriteria></SortCriteria></u:Browse></s:Body></s:Envelope>"
            % (object_id, flag, start, count)).encode()


def browse(control, object_id, flag="BrowseDirectChildren", start=0, count=10,
           action=BROWSE):
    """(head, items, containers, returned, total) of one Browse."""
    head, body = request(control, "POST", {
        "Content-Type": 'text/xml; charset="utf-8"', "SOAPAction": action}, soap_browse(
            object_id, flag, start, count))
    envelope = ET.fromstring(body)
    result = next(e.text or "" for e in envelope.iter() if e.tag.endswith("Result"))
    returned = int(next(e.text for e in envelope.iter() if e.tag.endswith("NumberReturned")))
    total = int(next(e.text for e in envelope.iter() if e.tag.endswith("TotalMatches")))
    didl = ET.fromstring(result)
    items, containers = [], []
    for item in didl.findall("didl:item", NS):
        res = item.find("didl:res", NS)
        items.append({
            "id": item.get("id"),
            "title": item.findtext("dc:title", "", NS),
            "channelNr": item.findtext("upnp:channelNr", "", NS),
            "albumArtURI": item.findtext("upnp:albumArtURI", "", NS),
            "res": res.text if res is not None else "",
            "protocolInfo": res.get("protocolInfo", "") if res is not None else "",
            "resolution": res.get("resolution", "") if res is not None else "",
        })
    containers = [c.get("id") for c in didl.findall("didl:container", NS)]
    return head, items, containers, returned, total


def list_all(control, object_id="0", count=10, depth=3):
    """Every item under the object, paged by StartingIndex until an empty
    page, descending into containers."""
    items, pages, start = [], 0, 0
    while pages < 1000:
        _, page, containers, returned, _ = browse(control, object_id, start=start, count=count)
        pages += 1
        if returned == 0:
            break
        items += page
        if depth > 0:
            for c in containers:
                sub, subpages = list_all(control, c, count, depth - 1)
                items += sub
                pages += subpages
        start += returned
    return items, pages


def search_answer(target, location):
    """The answer that names the device; the address in it may be another
    of the server's own."""
    u = urllib.parse.urlsplit(location)
    for answer in msearch(target):
        for name, value in head_fields(answer)[1]:
            at = urllib.parse.urlsplit(value) if name.lower() == "location" else None
            if at and (at.port, at.path) == (u.port, u.path):
                return answer
    return ""


def main():
    p = argparse.ArgumentParser()
    p.add_argument("command", choices=["msearch", "list", "headers"])
    p.add_argument("arg")
    p.add_argument("--timeout", type=float, default=2.0)
    p.add_argument("--raw")
    p.add_argument("--repeat", type=int, default=1)
    p.add_argument("--count", type=int, default=10)
    p.add_argument("--target", default="urn:schemas-upnp-org:device:MediaServer:1")
    a = p.parse_args()
    if a.command == "msearch":
        raw = a.raw.encode().decode("unicode_escape") if a.raw else None
        out = msearch(a.arg, a.timeout, raw, a.repeat)
    elif a.command == "list":
        items, pages = list_all(description(a.arg), count=a.count)
        out = {"items": items, "pages": pages}
    else:
        control = description(a.arg)
        items, _ = list_all(control, count=a.count)
        answer = search_answer(a.target, a.arg)
        out = {
            "search": head_fields(answer)[1] if answer else [],
            "description": head_fields(request(a.arg)[0])[1],
            "browse": head_fields(browse(control, "0")[0])[1],
            "stream": head_fields(request(items[0]["res"], head_only=True)[0])[1] if items else [],
        }
    json.dump(out, sys.stdout, ensure_ascii=False, indent=1)
    print()


if __name__ == "__main__":
    main()
