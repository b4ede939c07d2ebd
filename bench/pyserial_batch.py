#!/usr/bin/env python3
"""The plain threaded pyserial script that bench_cli compares esp8266at with.

    pyserial_batch.py FOLDER ports
    pyserial_batch.py FOLDER send
    pyserial_batch.py FOLDER command
    pyserial_batch.py FOLDER connect HOST:PORT

Does what the README's four esp8266at commands do, on every com<n> alias in FOLDER at once,
one thread per port: list the ports (open each exclusively and close it), send AT, send the
command `esp8266at command CWMODE 2` composes, and run the connection sequence (join, TCP
connection, transparent mode, start sending). Each line waits for its final answer; the
exit status is 0 when every port succeeded.
"""
import os
import sys
import threading
import time

import serial

FINALS = (b"OK", b"ERROR", b"FAIL", b"SEND OK", b"SEND FAIL", b"ALREADY CONNECTED")


def aliases(folder):
    ports = []
    for name in os.listdir(folder):
        if name.startswith("com") and name[3:].isdigit():
            ports.append((int(name[3:]), os.path.join(folder, name)))
    return [path for _, path in sorted(ports)]


def exchange(port, line, timeout, prompt=False):
    """Writes the line and reads until its final answer (and the > prompt when asked)."""
    port.write(line)
    answer = b""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        answer += port.read(port.in_waiting or 1)
        lines = [l.strip() for l in answer.split(b"\n")]
        done = any(l in FINALS for l in lines[:-1])
        if done and (not prompt or answer.rstrip().endswith(b">")):
            return answer, lines
    raise TimeoutError(line)


def run_port(path, steps, results, index):
    try:
        with serial.Serial(path, 115200, timeout=0.05, exclusive=True) as port:
            for line, timeout, prompt in steps:
                answer, lines = exchange(port, line, timeout, prompt)
                sys.stdout.write(path + ": " + answer.decode("utf-8", "replace"))
                if b"OK" not in lines:
                    results[index] = False
                    return
        results[index] = True
    except (OSError, serial.SerialException, TimeoutError) as error:
        sys.stderr.write("%s: %s\n" % (path, error))
        results[index] = False


def probe(path, results, index):
    try:
        with serial.Serial(path, 115200, exclusive=True):
            pass
        sys.stdout.write("%s  %s  available\n" % (path, os.path.realpath(path)))
        results[index] = True
    except (OSError, serial.SerialException) as error:
        sys.stdout.write("%s  %s\n" % (path, error))
        results[index] = True


def main():
    folder, what = sys.argv[1], sys.argv[2]
    paths = aliases(folder)
    if what == "send":
        steps = [(b"AT\r\n", 10, False)]
    elif what == "command":
        steps = [(b"AT+CWMODE=1\r\n", 10, False)]
    elif what == "connect":
        host, tcp = sys.argv[3].rsplit(":", 1)
        steps = [
            (b'AT+CWJAP="esp-test","password123"\r\n', 20, False),
            (('AT+CIPSTART="TCP","%s",%s\r\n' % (host, tcp)).encode(), 10, False),
            (b"AT+CIPMODE=1\r\n", 10, False),
            (b"AT+CIPSEND\r\n", 10, True),
        ]
    else:
        steps = None
    results = [False] * len(paths)
    threads = []
    for i, path in enumerate(paths):
        target = probe if steps is None else run_port
        args = (path, results, i) if steps is None else (path, steps, results, i)
        threads.append(threading.Thread(target=target, args=args))
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
