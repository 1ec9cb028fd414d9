#!/usr/bin/env python3
"""A pointer device for a headless wlroots compositor: a zwlr_virtual_pointer_v1.

A seat without any pointer device has no pointer capability, so no client gets pointer
events, not even from sway's own `seat - cursor` commands (which also send no motion while
a button is held). This client creates a virtual pointer, prints "ready" once the compositor
has it, then reads commands from stdin, one a line, and prints "done" once the compositor
has handled each:
    move DX DY          relative motion in logical pixels
    button CODE 1|0     press or release a Linux button code (272 left, 273 right)
It speaks the wire protocol itself: the test needs no Wayland bindings for Python.
"""
import os
import socket
import struct
import sys
import time

DISPLAY, REGISTRY, DONE, MANAGER, POINTER, SYNCED = 1, 2, 3, 4, 5, 6
MANAGER_INTERFACE = "zwlr_virtual_pointer_manager_v1"


def message(target, opcode, payload=b""):
    return struct.pack("=II", target, ((8 + len(payload)) << 16) | opcode) + payload


def text(value):
    data = value.encode() + b"\0"
    return struct.pack("=I", len(data)) + data + b"\0" * (-len(data) % 4)


class Connection:
    def __init__(self):
        name = os.environ.get("WAYLAND_DISPLAY", "wayland-0")
        path = name if name.startswith("/") else os.path.join(os.environ["XDG_RUNTIME_DIR"], name)
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.pending = b""

    def send(self, data):
        self.sock.sendall(data)

    def event(self):
        """The next event as (object, opcode, payload); None when the compositor hung up."""
        while True:
            if len(self.pending) >= 8:
                target, word = struct.unpack_from("=II", self.pending)
                size = word >> 16
                if size < 8:
                    sys.exit("broken message from the compositor")
                if len(self.pending) >= size:
                    payload = self.pending[8:size]
                    self.pending = self.pending[size:]
                    return target, word & 0xFFFF, payload
            chunk = self.sock.recv(4096)
            if not chunk:
                return None
            self.pending += chunk

    def wait_done(self, callback, on_event=None):
        while True:
            got = self.event()
            if got is None:
                sys.exit("the compositor hung up")
            target, opcode, payload = got
            if target == DISPLAY and opcode == 0:
                sys.exit("protocol error from the compositor")
            if target == callback and opcode == 0:
                return
            if on_event:
                on_event(target, opcode, payload)


def main():
    conn = Connection()
    found = {}

    def global_event(target, opcode, payload):
        if target != REGISTRY or opcode != 0:
            return
        name, length = struct.unpack_from("=II", payload)
        interface = payload[8:8 + length - 1].decode()
        version = struct.unpack_from("=I", payload, 8 + length + (-length % 4))[0]
        found[interface] = (name, version)

    conn.send(message(DISPLAY, 1, struct.pack("=I", REGISTRY)) +
              message(DISPLAY, 0, struct.pack("=I", DONE)))
    conn.wait_done(DONE, global_event)
    if MANAGER_INTERFACE not in found:
        sys.exit("the compositor lacks " + MANAGER_INTERFACE)
    name, _ = found[MANAGER_INTERFACE]
    # bind (name, interface, version 1, id); create_virtual_pointer (no seat: the default one).
    conn.send(message(REGISTRY, 0, struct.pack("=I", name) + text(MANAGER_INTERFACE) +
                      struct.pack("=II", 1, MANAGER)) +
              message(MANAGER, 0, struct.pack("=II", 0, POINTER)) +
              message(DISPLAY, 0, struct.pack("=I", SYNCED)))
    conn.wait_done(SYNCED)
    print("ready", flush=True)
    callback = SYNCED
    for line in sys.stdin:
        words = line.split()
        stamp = int(time.monotonic() * 1000) & 0xFFFFFFFF
        if len(words) == 3 and words[0] == "move":
            # motion: time, dx, dy in 24.8 fixed point.
            request = message(POINTER, 0, struct.pack("=Iii", stamp, int(float(words[1]) * 256),
                                                      int(float(words[2]) * 256)))
        elif len(words) == 3 and words[0] == "button":
            request = message(POINTER, 2, struct.pack("=III", stamp, int(words[1]), int(words[2])))
        else:
            sys.exit("unknown command: " + line.strip())
        callback += 1
        conn.send(request + message(POINTER, 4) + message(DISPLAY, 0, struct.pack("=I", callback)))
        conn.wait_done(callback)
        print("done", flush=True)


if __name__ == "__main__":
    main()
