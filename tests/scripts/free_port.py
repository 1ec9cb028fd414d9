#!/usr/bin/env python3
"""Prints a TCP port that was free a moment ago, drawn from outside the kernel's range for
outgoing connections: a port from that range can be handed to another test's connect in the
moment before the server under test binds it."""
import random
import socket

try:
    with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
        low, high = (int(word) for word in f.read().split())
except (OSError, ValueError):
    low, high = 32768, 60999
first, last = (10000, low - 1) if low > 12000 else (high + 1, 65535)
for _ in range(200):
    port = random.randint(first, last)
    with socket.socket() as s:
        try:
            s.bind(("", port))
        except OSError:
            continue
    print(port)
    break
else:
    raise SystemExit("no free port")
