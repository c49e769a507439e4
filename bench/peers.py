#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""VOK32 beside its peers on the same loopback servers, in the same run.

  bench/peers.py [--quick] [--runs N] [--out FILE] BUILD-DIR

BUILD-DIR is a build configured with -DVOK_BUILD_BENCH=ON (Release for
figures worth reading); nothing is built here. The SMTP workloads go to
vok_mail_sink, the POP3 ones to a private Dovecot (tests/servers/
mailservers.py, run as root). Peers: curl, msmtp, and Python's smtplib and
poplib (with the email package for decoding), each run as a process of its
own so that its peak memory is its own. Every figure is the median of the
runs; the ratio is VOK32's time over the best peer's, and each VOK32 row says
whether it meets the workload's goal. A peer or a setting this machine or
build lacks shows as n/a. Prints a markdown table and writes it to --out
(default bench/results/latest.md).

--quick shrinks every count (one run each) to check that the harness runs
and yields every row; its figures mean nothing.
"""
import argparse
import base64
import json
import os
import random
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable

FULL = dict(runs=3, messages=200, attach_mb=20, mailbox=1000, channels=64, per_channel=10,
            slow_channels=64, slow_messages=2, slow_delay_ms=100, timer_cap_s=30)
QUICK = dict(runs=1, messages=5, attach_mb=1, mailbox=20, channels=8, per_channel=2,
             slow_channels=8, slow_messages=1, slow_delay_ms=50, timer_cap_s=2)
RUN_LIMIT_S = 300  # any one process
RUNNER = None  # vok_peer_client, set by main
SLOW_CPU_SHARE = 0.02  # "near zero": at most 2 % of the wall time

FROM, TO = "ann@example.com", "bob@example.org"
SUBJECT, BODY = "Short note", "Hello Bob,\r\nthe meeting is at ten.\r\nAnn"


# --- The peers, each run in a process of its own (peers.py client ...) -------

def _small_message():
    from email.message import EmailMessage
    from email.utils import formatdate
    m = EmailMessage()
    m["From"], m["To"], m["Subject"], m["Date"] = "Ann <%s>" % FROM, "Bob <%s>" % TO, SUBJECT, \
        formatdate(localtime=True)
    m.set_content(BODY.replace("\r\n", "\n"))
    return m


def _smtp_session(port, messages, auth):
    import smtplib
    with smtplib.SMTP("127.0.0.1", port, timeout=60) as s:
        if auth:
            s.login("ann", "secret")
        for _ in range(messages):
            s.send_message(_small_message())


def client(argv):
    """Runs one peer workload and prints its wall and processor time."""
    what, args = argv[0], argv[1:]
    wall, cpu = time.monotonic(), time.process_time()
    if what == "smtplib":  # PORT MESSAGES AUTH
        _smtp_session(int(args[0]), int(args[1]), args[2] == "1")
    elif what == "smtplib-threads":  # PORT THREADS MESSAGES
        errors = []

        def one():
            try:
                _smtp_session(int(args[0]), int(args[2]), False)
            except Exception as e:  # reported below
                errors.append(e)
        threads = [threading.Thread(target=one) for _ in range(int(args[1]))]
        for t in threads:
            t.start()
        for t in threads:
            t.join(RUN_LIMIT_S)
        if errors:
            raise errors[0]
    elif what == "poplib-list":  # PORT
        import poplib
        p = poplib.POP3("127.0.0.1", int(args[0]), timeout=60)
        p.user("ann")
        p.pass_("secret")
        sizes, uids = p.list()[1], p.uidl()[1]
        p.quit()
        assert len(sizes) == len(uids)
    elif what == "poplib-fetch":  # PORT DIR: RETR 1, decoded, attachments saved
        import email
        import email.policy
        import poplib
        p = poplib.POP3("127.0.0.1", int(args[0]), timeout=60)
        p.user("ann")
        p.pass_("secret")
        lines = p.retr(1)[1]
        p.quit()
        message = email.message_from_bytes(b"\r\n".join(lines), policy=email.policy.default)
        for part in message.iter_attachments():
            with open(os.path.join(args[1], part.get_filename() or "noname"), "wb") as f:
                f.write(part.get_content())
    else:
        sys.exit("unknown client " + what)
    print(json.dumps({"wall": time.monotonic() - wall, "cpu": time.process_time() - cpu}))


# --- Measuring ------------------------------------------------------------------

def measure(runner, cmd, timed_inside, stdin=None, limit=RUN_LIMIT_S):
    """Runs cmd under the runner (vok_peer_client run, a small parent whose
    own memory does not hide the child's); its wall and processor time (its
    own report when timed_inside, else start to exit) and its peak memory."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        inp = open(stdin, "rb") if stdin else subprocess.DEVNULL
        p = subprocess.Popen([runner, "run"] + cmd, stdin=inp, stdout=out, stderr=err,
                             start_new_session=True)
        try:
            p.wait(limit)
        except BaseException:  # the time limit, or the run itself stopped
            os.killpg(p.pid, signal.SIGKILL)
            p.wait(10)
            if not isinstance(sys.exc_info()[1], subprocess.TimeoutExpired):
                raise
        finally:
            if stdin:
                inp.close()
        out.seek(0)
        err.seek(0)
        lines = out.read().decode(errors="replace").strip().splitlines()
        said = err.read().decode(errors="replace").strip()
    reports = []
    for line in lines[-2:]:
        try:
            reports.append(json.loads(line))
        except ValueError:
            reports.append({})
    outer = reports[-1] if reports else {}
    inner = reports[0] if len(reports) == 2 else {}
    if "na" in inner:
        return {"na": inner["na"]}
    if p.returncode != 0 or "error" in inner or "wall" not in outer:
        raise RuntimeError("%s failed (%s): %s %s" % (" ".join(cmd), p.returncode,
                                                       inner.get("error", ""), said[-400:]))
    result = {"wall": outer["wall"], "cpu": outer["cpu"], "rss": outer["rss_kib"] / 1024.0}
    if timed_inside:
        result.update(wall=inner["wall"], cpu=inner["cpu"])
    result["report"] = inner
    return result


class Contender:
    def __init__(self, label, cmd, vok=True, timed_inside=True, stdin=None, prepare=None,
                 needs=None):
        self.label, self.cmd, self.vok, self.timed_inside = label, cmd, vok, timed_inside
        self.stdin, self.prepare, self.needs = stdin, prepare, needs
        self.runs, self.na, self.failed = [], None, None

    def run(self):
        if self.na:
            return
        if self.needs and not shutil.which(self.needs):
            self.na = "%s not installed" % self.needs
            return
        if any(r["report"].get("capped") for r in self.runs):
            return  # an estimate: once is enough
        if self.prepare:
            self.prepare()
        try:
            # A sink's port is asked for now: it may have been started again.
            cmd = [x() if callable(x) else x for x in self.cmd]
            r = measure(RUNNER, cmd, self.timed_inside, self.stdin)
        except RuntimeError as e:  # shown in the table; the run goes on
            print("peers.py: %s" % e, file=sys.stderr)
            self.failed = self.na = "FAILED (see the log)"
            return
        if "na" in r:
            self.na = r["na"]
        else:
            self.runs.append(r)

    def median(self, key):
        return statistics.median(r[key] for r in self.runs) if self.runs else None


class Workload:
    """Contenders run in turn, run after run, so that drift hits them all."""

    def __init__(self, number, title, goal_text, goal, contenders, reference=None,
                 warm_up=False):
        self.number, self.title, self.goal_text, self.goal = number, title, goal_text, goal
        self.contenders = contenders
        # Whom the ratio is taken against: the best peer, or a named row.
        self.reference = reference
        # A first round left out (Dovecot reads and indexes the mailbox on
        # its first visit).
        self.warm_up = warm_up

    def run(self, runs):
        for round in range(runs + (1 if self.warm_up else 0)):
            for c in self.contenders:
                c.run()
                if self.warm_up and round == 0:
                    c.runs.clear()

    def best(self):
        if self.reference:
            refs = [c for c in self.contenders if c.label == self.reference]
        else:
            refs = [c for c in self.contenders if not c.vok]
        times = [c.median("wall") for c in refs if c.runs]
        return min(times) if times else None


# --- Fixtures -------------------------------------------------------------------

class Sink:
    """vok_mail_sink (SMTP, plain), started when first asked for its port and
    again whenever it has ended (it stops after a while without clients)."""

    def __init__(self, binary, work, name, delay_ms=0):
        self.binary, self.work, self.name, self.delay_ms = binary, work, name, delay_ms
        self.process, self.started = None, 0

    def port(self):
        if self.process and self.process.poll() is None:
            return self._port
        self.started += 1
        portfile = os.path.join(self.work, "%s-%d.port" % (self.name, self.started))
        cmd = [self.binary, "smtp", "none", "-", "0", portfile, "100000"]
        if self.delay_ms:
            cmd.append(str(self.delay_ms))
        self.process = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(portfile) and time.monotonic() < deadline:
            time.sleep(0.02)
        if not os.path.exists(portfile):
            self.stop()
            raise RuntimeError("vok_mail_sink did not start")
        with open(portfile) as f:
            self._port = f.read()
        return self._port

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)


def write_attachment_files(work, mb):
    """The attachment, and the same bytes as a MIME message for curl."""
    data = random.Random(12345).randbytes(mb << 20)
    path = os.path.join(work, "data.bin")
    with open(path, "wb") as f:
        f.write(data)
    encoded = base64.encodebytes(data).replace(b"\n", b"\r\n")
    head = ("From: Ann <%s>\r\nTo: Bob <%s>\r\nSubject: Data\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
            "Content-Type: text/plain\r\n\r\nSee attached.\r\n--b\r\n"
            "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n" % (FROM, TO))
    message = os.path.join(work, "message.eml")
    with open(message, "wb") as f:
        f.write(head.encode() + encoded + b"--b--\r\n")
    small = os.path.join(work, "small.eml")
    with open(small, "wb") as f:
        f.write(("From: Ann <%s>\r\nTo: Bob <%s>\r\nSubject: %s\r\n\r\n%s\r\n"
                 % (FROM, TO, SUBJECT, BODY)).encode())
    return path, message, small


def start_dovecot(work, attachment, mailbox, lifetime):
    """Dovecot with message 1 carrying the attachment, then `mailbox` small
    messages."""
    sys.path.insert(0, os.path.join(ROOT, "tests", "servers"))
    import mailservers
    home = os.path.join(work, "pop3")
    os.makedirs(os.path.join(home, "mail"))
    shutil.copyfile(attachment, os.path.join(home, "mail", "00000.eml"))
    for n in range(1, mailbox + 1):
        with open(os.path.join(home, "mail", "%05d.eml" % n), "wb") as f:
            f.write(b"From: <ann@example.com>\r\nSubject: Note %d\r\n\r\nBody %d\r\n" % (n, n))
    return mailservers.Server("pop3", dir=home, lifetime=lifetime)


def header_features():
    """Newer settings the public header names: (what, number, present)."""
    try:
        with open(os.path.join(ROOT, "include", "vok32.h")) as f:
            header = f.read()
    except OSError:
        header = ""
    defined = lambda prefix, n: re.search(r"#define VOK_%s\w* %d\b" % (prefix, n), header)
    return [("Pipelining (parameter 34)", bool(defined("PARAM_", 34))),
            ("LogDetail (parameter 35)", bool(defined("PARAM_", 35))),
            ("statistics 32/33 (waiting on many channels)",
             bool(defined("STAT_", 32) and defined("STAT_", 33)))]


# --- The workloads --------------------------------------------------------------

def workloads(build, work, size, sink, slow, pop3_port, files):
    client = os.path.join(build, "bench", "vok_peer_client")
    vokmail = os.path.join(build, "tools", "vokmail", "vokmail")
    me = [PYTHON, os.path.abspath(__file__), "client"]
    attachment, message, small = files
    port = sink.port
    fast = ["--param", "1=0"]
    piped = fast + ["--param", "34=1"]
    vok = lambda *a: [client] + [x if callable(x) else str(x) for x in a]

    def fresh(name):
        path = os.path.join(work, name)
        def clean():
            shutil.rmtree(path, ignore_errors=True)
            os.makedirs(path)
        return path, clean

    vokdir, vokclean = fresh("vok-out")
    vokdir0, vokclean0 = fresh("vok-out-0")
    pydir, pyclean = fresh("py-out")
    n, m = size["messages"], size["per_channel"]
    ch = size["channels"]
    curl_send = lambda *extra: ["curl", "-sS", "--max-time", "120",
                                lambda: "smtp://127.0.0.1:" + port(),
                                "--mail-from", FROM, "--mail-rcpt", TO] + list(extra)
    pop3 = str(pop3_port) if pop3_port else None
    no_pop3 = lambda c: c if pop3 else None

    w = [
        Workload(1, "one small message, whole session with AUTH", "≤ 1.0 × smtplib",
                 lambda r: r <= 1.0, [
                     Contender("VOK32", vok("smtp", port, 1, 1)),
                     Contender("VOK32 MinResponseWait 0", vok(*fast, "smtp", port, 1, 1)),
                     Contender("VOK32 MinResponseWait 0 + Pipelining",
                               vok(*piped, "smtp", port, 1, 1)),
                     Contender("smtplib", me + ["smtplib", port, "1", "1"], vok=False)]),
        Workload(2, "%d small messages in one session" % n, "≤ 0.5 × smtplib",
                 lambda r: r <= 0.5, [
                     Contender("VOK32", vok("smtp", port, n, 1)),
                     Contender("VOK32 MinResponseWait 0", vok(*fast, "smtp", port, n, 1)),
                     Contender("VOK32 MinResponseWait 0 + Pipelining",
                               vok(*piped, "smtp", port, n, 1)),
                     Contender("smtplib", me + ["smtplib", port, str(n), "1"], vok=False)]),
        Workload(3, "CLI: one small message, process start to exit",
                 "≤ 1.0 × best of msmtp, curl",
                 lambda r: r <= 1.0, [
                     Contender("vokmail send",
                               [vokmail, "send", "--server", lambda: "127.0.0.1:" + port(),
                                "--from", FROM, "--to", TO, "--subject", SUBJECT, "--body", BODY,
                                "--user", "ann", "--password", "secret", "--quiet"],
                               timed_inside=False, needs=vokmail),
                     Contender("msmtp", ["msmtp", "--file=/dev/null", "--host=127.0.0.1",
                                         lambda: "--port=" + port(), "--tls=off", "--auth=plain",
                                         "--user=ann", "--passwordeval=echo secret",
                                         "--from=" + FROM, TO],
                               vok=False, timed_inside=False, stdin=small, needs="msmtp"),
                     Contender("curl", curl_send("-u", "ann:secret", "-T", small), vok=False,
                               timed_inside=False, needs="curl")]),
        Workload(4, "%d MiB attachment to the sink" % size["attach_mb"],
                 "≤ 1.2 × curl (prebuilt MIME)", lambda r: r <= 1.2, [
                     Contender("VOK32", vok("attach", port, attachment, 0, 0), timed_inside=False),
                     Contender("VOK32 MinResponseWait 0",
                               vok(*fast, "attach", port, attachment, 0, 0), timed_inside=False),
                     Contender("curl", curl_send("-T", message), vok=False, timed_inside=False,
                               needs="curl")]),
        Workload(5, "%d MiB download + decode from Dovecot" % size["attach_mb"],
                 "≤ 1.5 × curl raw download", lambda r: r <= 1.5, [
                     Contender("VOK32", no_pop3(vok("fetch", pop3, vokdir)), timed_inside=False,
                               prepare=vokclean),
                     Contender("VOK32 MinResponseWait 0",
                               no_pop3(vok(*fast, "fetch", pop3, vokdir0)),
                               timed_inside=False, prepare=vokclean0),
                     Contender("curl (raw, no decoding)",
                               no_pop3(["curl", "-sS", "--max-time", "120", "-u", "ann:secret",
                                        "-o", os.path.join(work, "curl.eml"),
                                        "pop3://127.0.0.1:%s/1" % pop3]),
                               vok=False, timed_inside=False, needs="curl"),
                     Contender("poplib + email (decoded)",
                               no_pop3(me + ["poplib-fetch", pop3, pydir]), vok=False,
                               timed_inside=False, prepare=pyclean)],
                 reference="curl (raw, no decoding)", warm_up=True),
        Workload(6, "listing %d messages (sizes and unique ids)" % (size["mailbox"] + 1),
                 "≤ 1.0 × poplib (LIST + UIDL)", lambda r: r <= 1.0, [
                     Contender("VOK32", no_pop3(vok("list", pop3))),
                     Contender("VOK32 MinResponseWait 0", no_pop3(vok(*fast, "list", pop3))),
                     Contender("VOK32 MinResponseWait 0 + Pipelining",
                               no_pop3(vok(*piped, "list", pop3))),
                     Contender("poplib", no_pop3(me + ["poplib-list", pop3]), vok=False)],
                 warm_up=True),
        Workload(7, "%d MiB send, AutoCall 0 from a 10 ms timer" % size["attach_mb"],
                 "≤ 2 × AutoCall 1", lambda r: r <= 2.0, [
                     Contender("VOK32 AutoCall 1", vok("attach", port, attachment, 0, 0),
                               vok=False),
                     Contender("VOK32 AutoCall 0, 10 ms timer",
                               vok("attach", port, attachment, 10, size["timer_cap_s"]))],
                 reference="VOK32 AutoCall 1"),
        Workload(8, "%d sessions × %d messages from one thread" % (ch, m),
                 "< 1.0 × %d smtplib threads" % ch, lambda r: r < 1.0, [
                     Contender("VOK32", vok("channels", port, ch, m)),
                     Contender("VOK32 MinResponseWait 0", vok(*fast, "channels", port, ch, m)),
                     Contender("VOK32 MinResponseWait 0 + Pipelining",
                               vok(*piped, "channels", port, ch, m)),
                     Contender("smtplib, %d threads" % ch,
                               me + ["smtplib-threads", port, str(ch), str(m)], vok=False)]),
        Workload("8b", "%d sessions × %d on a slow server (%d ms per reply)"
                 % (size["slow_channels"], size["slow_messages"], size["slow_delay_ms"]),
                 "CPU ≤ %d %% of wall" % (SLOW_CPU_SHARE * 100), None, [
                     Contender("VOK32", vok("channels", slow.port, size["slow_channels"],
                                            size["slow_messages"])),
                     Contender("smtplib, %d threads" % size["slow_channels"],
                               me + ["smtplib-threads", slow.port, str(size["slow_channels"]),
                                     str(size["slow_messages"])], vok=False)]),
    ]
    for work_ in w:
        for c in work_.contenders:
            if c.cmd is None:
                c.na = "no POP3 server (Dovecot)"
    return w


# --- Report ---------------------------------------------------------------------

def fmt(x, digits=3):
    return "n/a" if x is None else "%.*f" % (digits, x)


def table(results, features, size, quick):
    lines = ["# VOK32 beside its peers%s" % (" (quick run: counts shrunk, figures meaningless)"
                                             if quick else ""),
             "",
             "Median of %d run(s) each; wall and CPU in seconds, peak RSS in MiB. "
             "Ratio: wall time over the best peer's (or over the named reference row)." %
             size["runs"],
             "",
             "Newer settings in the header: " +
             "; ".join("%s %s" % (what, "present" if there else "n/a") for what, there in features),
             "",
             "| # | workload | contender | wall | CPU | RSS | ratio | goal |",
             "|---|---|---|---:|---:|---:|---:|---|"]
    for w in results:
        best = w.best()
        for c in w.contenders:
            wall, cpu, rss = c.median("wall"), c.median("cpu"), c.median("rss")
            ratio, goal = None, ""
            note = c.na or ""
            capped = any(r.get("report", {}).get("capped") for r in c.runs)
            if capped and wall is not None:
                # Not finished within its time cap: the time scaled by the
                # part sent.
                fractions = [r["report"].get("done_fraction", 0) for r in c.runs]
                fraction = statistics.median(fractions)
                wall = wall / fraction if fraction > 0 else None
                note = "estimated: %.1f %% sent in the cap" % (fraction * 100)
            if c.vok and wall is not None:
                if w.goal is None:
                    share = cpu / wall if wall else 0
                    goal = "met" if share <= SLOW_CPU_SHARE else "NOT met"
                    goal += " (CPU %.1f %% of wall)" % (share * 100)
                elif best:
                    ratio = wall / best
                    goal = "met" if w.goal(ratio) else "NOT met"
            if note:
                goal = (goal + " — " if goal else "") + note
            lines.append("| %s | %s | %s | %s | %s | %s | %s | %s |" % (
                w.number, w.title if c is w.contenders[0] else "", c.label, fmt(wall),
                fmt(cpu), fmt(rss, 1), fmt(ratio, 2), goal or ""))
        lines.append("| | | *goal: %s* | | | | | |" % w.goal_text)
    lines += ["",
              "Notes: VOK32 and smtplib time their own session (from the connect to the "
              "QUIT reply); the rows of 3, 4 and 5 are whole processes, start to exit. "
              "With AUTH, VOK32 by default takes LOGIN from the sink's list (PLAIN LOGIN), "
              "smtplib and msmtp PLAIN. The many-session rows are driven from one thread "
              "with AutoCall 0, sleeping in poll() on the channels' sockets (statistic 27) "
              "when a round moved nothing. Peak RSS is the whole process's (Python's "
              "interpreter included). A run that hit its time cap shows the time scaled by "
              "the part done."]
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "client":
        client(sys.argv[2:])
        return 0
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--runs", type=int)
    parser.add_argument("--out", default=os.path.join(HERE, "results", "latest.md"))
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    global RUNNER
    RUNNER = os.path.join(build, "bench", "vok_peer_client")
    size = dict(QUICK if args.quick else FULL)
    if args.runs:
        size["runs"] = max(1, args.runs)
    for binary in ("bench/vok_peer_client", "bench/vok_mail_sink"):
        if not os.access(os.path.join(build, binary), os.X_OK):
            sys.exit("peers.py: %s/%s is missing: configure with -DVOK_BUILD_BENCH=ON and "
                     "build the vok_peer_client and vok_mail_sink targets" % (build, binary))
    # SIGTERM (ctest's timeout) ends the run through the cleanup below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    work = tempfile.mkdtemp(prefix="vok_peers_")
    os.chmod(work, 0o755)
    servers = []
    try:
        files = write_attachment_files(work, size["attach_mb"])
        sink_binary = os.path.join(build, "bench", "vok_mail_sink")
        sink = Sink(sink_binary, work, "sink")
        slow = Sink(sink_binary, work, "slow", size["slow_delay_ms"])
        servers += [sink, slow]
        pop3_port = None
        try:
            lifetime = 600 if args.quick else 7200
            dovecot = start_dovecot(work, files[1], size["mailbox"], lifetime)
            servers.append(dovecot)
            pop3_port = dovecot.port
        except Exception as e:  # no Dovecot here: the POP3 rows say n/a
            print("peers.py: no POP3 server: %s" % e, file=sys.stderr)
        results = workloads(build, work, size, sink, slow, pop3_port, files)
        for w in results:
            print("running %s: %s" % (w.number, w.title), file=sys.stderr, flush=True)
            w.run(size["runs"])
        text = table(results, header_features(), size, args.quick)
        print(text)
        os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
        with open(args.out, "w") as f:
            f.write(text)
        # Every row must have a figure unless this machine lacks a peer, a
        # server or the build a setting.
        missing = ["%s %s" % (w.number, c.label) for w in results for c in w.contenders
                   if c.failed or (c.vok and not c.runs and not c.na)]
        if missing:
            print("peers.py: no figure for " + ", ".join(missing), file=sys.stderr)
            return 1
        return 0
    finally:
        for s in reversed(servers):
            (s.stop if isinstance(s, Sink) else s.close)()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
