#!/usr/bin/env python3
# End-to-end tables: the built client against larkwire-sim, and against a scripted peer where the
# sim never behaves that way, all on 127.0.0.1. Every run is checked byte for byte: its output, its
# exit status, an empty standard error and, where a server stands, the bytes the server received.
#
#   larkwire_e2e.py [--wine | --static] CLIENT SIM [unittest arguments, e.g. a table name]
#
# A table is a class of Table; ctest finds the tables in this file. Its rows are named records,
# one a line. --wine runs CLIENT (Larkwire.exe) under Wine: Winsock's error numbers, CR LF line
# ends folded, Z: paths, and no row that needs libfaketime (LARKWIRE_FAKETIME names it). Natively
# the client runs in a zone far from UTC, so that a client reading local time fails. --static is
# for statically linked programs, which libfaketime cannot enter: the clocks are the host's, as
# under Wine, and the rest as natively. Texts are bytes spelt as Latin-1.
import calendar, json, os, pty, re, resource, select, signal, socket, subprocess, sys
import tempfile, threading, time, unittest
from collections import namedtuple

WINE, STATIC = sys.argv[1:2] == ["--wine"], sys.argv[1:2] == ["--static"]
HOST_CLOCK = WINE or STATIC  # no libfaketime: _id and time are checked against the host's clock
CLIENT, SIM = sys.argv[1 + HOST_CLOCK : 3 + HOST_CLOCK]
EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
FROZEN = "2025-01-23 12:00:00"  # a UTC instant the client's clocks are frozen at
FAST = "+0 x1000"  # the five-minute limit passes in 0.3 s
SPED = "+0 x50"  # it passes in 6 s: a NO ANSWER well before that did not wait for it
PATIENCE = 20  # seconds: a client still running is killed, and a peer waits as long
os.environ["TZ"] = "IST-5:30"
time.tzset()
# A sanitized client's allocator reads the monotonic clock while it holds its lock; libfaketime,
# not yet set up then, allocates, and the client deadlocks at start-up. Without the allocator's
# release timer it never reads that clock.
ASAN_OPTIONS = os.environ.get("ASAN_OPTIONS", "")
os.environ["ASAN_OPTIONS"] = ASAN_OPTIONS + ":allocator_release_to_os_interval_ms=-1"


class Exit:  # the statuses of app/exit_status.h, as a POSIX shell sees them
    OK, USAGE, BAD_PORT, BAD_LAYER, CONNECT_FAILED, COMMAND_FILE_FAILED = 0, 255, 254, 253, 251, 250
    BAD_COMMAND, SEND_FAILED, ANSWER_NOT_OK = 246, 245, 244


WINSOCK = {"111": "10061", "104": "10054", "32": "10053"}  # Linux's error numbers, Windows' own
STEPS = "Step 1/2: send command to layer N...\nStep 2/2: wait answer for the command...\n"
OK_LINE, ERROR_LINE = "   OK answer detected.\n", "   ERROR answer detected.\n"
NO_ANSWER_LINE = "   !!! ERROR - NO ANSWER in 5 minutes !!!\n"
FROZEN_OK = STEPS + OK_LINE + "Finish OK elapsed times(ms): 0\n"
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "usage.txt")) as usage:
    USAGE_TEXT = usage.read()
CUE, PLAY = '{"type":"DSK_Cue","params":{}}', '{"type":"DSK_Play","params":{"clip":"news"}}'
CUE_SENT = '{"_id":"1432000","params":{"head_id":"1","layer_id":"1"},"type":"DSK_Cue"}'  # FROZEN
# What a scripted peer does: read the whole request, shut its sending side, close, reset.
READ, HALF, CLOSE, RESET = ("read",), ("half",), ("close",), ("reset",)
files, SIMS = tempfile.TemporaryDirectory(prefix="larkwire-e2e-"), []


def send(text):
    return ("send", text)


def pause(seconds):
    return ("pause", seconds)


def parted(text, *cuts):  # the text sent in pieces, cut at the given places, 0.15 s apart
    places = [0, *cuts, len(text)]
    pieces = [send(text[begin:end]) for begin, end in zip(places, places[1:])]
    return [step for piece in pieces for step in (pause(0.15), piece)][1:]


def path(host_path):  # as the client is given it
    if WINE:
        return "Z:" + host_path.replace("/", "\\")
    return host_path


def write(text, name=None):
    with open(os.path.join(files.name, name or str(len(os.listdir(files.name)))), "wb") as f:
        f.write(text.encode("latin-1"))
    return f.name


def frozen(utc):  # libfaketime reads a frozen instant in the local zone
    seconds, dot, fraction = utc.partition(".")
    moment = time.localtime(calendar.timegm(time.strptime(seconds, "%Y-%m-%d %H:%M:%S")))
    return time.strftime("%Y-%m-%d %H:%M:%S", moment) + dot + fraction


def complete(data):  # the request has no terminator: it ends where one JSON value does
    try:
        return data.endswith(b"}") and json.loads(data) is not None
    except ValueError:
        return False


def free_socket(listen=True):  # the client takes ports 1..55555; ephemeral ones may lie above
    while True:
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        if s.getsockname()[1] <= 55555:
            break
        s.close()
    if listen:
        s.listen(128)
    return s


# Plays one script on the first connection and records what it receives; unless the script
# closes, it reads on until the client closes.
class Peer:
    def __init__(self, *script):
        self.listener, self.data, self.connections = free_socket(), bytearray(), 0
        self.port, self.stopping = str(self.listener.getsockname()[1]), False
        self.thread = threading.Thread(target=self.serve, args=(script,), daemon=True)
        self.thread.start()

    def serve(self, script):
        while True:
            last_look = self.stopping  # an exited client has left its connection queued
            if select.select([self.listener], [], [], 0 if last_look else 0.02)[0]:
                connection, self.connections = self.listener.accept()[0], 1
                connection.settimeout(PATIENCE)
                with connection:
                    return self.play(connection, script)
            if last_look:
                return

    def play(self, connection, script):
        for step in script:
            if step == READ:
                while not complete(self.data) and self.receive(connection):
                    pass
            elif step[0] == "send":
                connection.sendall(step[1].encode("latin-1"))
            elif step[0] == "pause":
                time.sleep(step[1])
            elif step == HALF:
                connection.shutdown(socket.SHUT_WR)
            else:  # close, or reset: a zero linger time makes the close abortive
                linger = bytes([step == RESET, 0, 0, 0, 0, 0, 0, 0])
                return connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, linger)
        while self.receive(connection):
            pass

    def receive(self, connection):
        try:
            piece = connection.recv(1 << 16)
        except OSError:
            return False
        self.data += piece
        return piece != b""

    def finish(self):
        self.stopping = True
        self.thread.join()
        self.listener.close()
        self.received = self.data.decode("latin-1")
        return self


class SimProcess:  # larkwire-sim on a free port of its choosing, with its request log
    def __init__(self, *options, log=None, limits=()):  # limits: (resource, value) for the sim
        self.directory = tempfile.TemporaryDirectory(prefix="larkwire-sim-")
        self.log = log or os.path.join(self.directory.name, "requests.jsonl")
        command = [SIM, "--listen", "127.0.0.1:0", "--log", self.log, *options]
        limit = lambda: [resource.setrlimit(kind, (value, value)) for kind, value in limits]
        out = dict(stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.process = subprocess.Popen(command, preexec_fn=limit, **out)
        SIMS.append(self.process)
        self.output = self.process.stdout.readline()
        self.port = re.search(r"listening on 127\.0\.0\.1:(\d+),", self.output)[1]
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.process.stdout:
            self.output += line

    def await_output(self, text):
        for _ in range(1000):
            if text in self.output:
                return True
            time.sleep(0.01)

    def stop(self, signal_number=signal.SIGTERM):
        self.process.send_signal(signal_number)
        status = self.process.wait(10)
        self.reader.join()
        with open(self.log if os.path.isfile(self.log) else os.devnull, encoding="utf-8") as log:
            self.entries = [json.loads(line) for line in log]
        for entry in self.entries:  # a request that parses is logged as its value
            compact = json.dumps(entry["request"], ensure_ascii=False, separators=(",", ":"))
            entry["request"] = compact.encode("utf-8").decode("latin-1")
        self.directory.cleanup()
        return status


class Run:  # one run of the client: output, status, standard error and timing
    def __init__(self, arguments, clock=None, keep_open=(), patience=PATIENCE, **popen):
        environment = dict(popen.pop("env", os.environ))
        if clock and STATIC:
            raise unittest.SkipTest("needs libfaketime, which a static client ignores")
        if clock:
            environment["LD_PRELOAD"] = os.environ["LARKWIRE_FAKETIME"]
            environment["FAKETIME"] = clock if clock.startswith("+") else frozen(clock)
        command = (["wine"] if WINE else []) + [CLIENT, *arguments]
        out = dict(stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment)
        self.began, started = time.time_ns() // 100, time.monotonic()
        # In a group of its own: a client that hangs fails its row, never the suite.
        out.update(popen, pass_fds=keep_open, start_new_session=True)
        process = subprocess.Popen(command, **out)
        self.patience, self.killed = patience, False
        killer = threading.Timer(patience, self.kill, (process.pid,))
        errors = threading.Thread(target=self.read_errors, args=(process,))
        killer.start()
        errors.start()
        output, first_output = b"", None
        while piece := os.read(process.stdout.fileno(), 1 << 16):
            output, first_output = output + piece, first_output or time.monotonic()
        self.status, self.seconds = process.wait() % 256, time.monotonic() - started
        self.output_to_exit = time.monotonic() - (first_output or time.monotonic())
        self.ended = time.time_ns() // 100
        killer.cancel()
        errors.join()
        process.stdout.close()
        self.output = output.decode("latin-1")
        self.bare_line_feeds = 0
        if WINE:  # standard output is in text mode
            self.bare_line_feeds = len(re.findall("(?<!\r)\n", self.output))
            self.output = self.output.replace("\r\n", "\n")
        self.why = f"\n{arguments}\noutput: {self.output!r}\nstderr: {self.errors!r}"

    def kill(self, pid):
        self.killed = True
        os.killpg(pid, signal.SIGKILL)

    def read_errors(self, process):
        with process.stderr:
            self.errors = process.stderr.read().decode("latin-1")


def client(port, text, layer="1", clock=None, **popen):  # a run with the text as command file
    return Run(["127.0.0.1", port, layer, path(write(text))], clock, **popen)


class Table(unittest.TestCase):
    def expect(self, run, output, status):
        self.assertFalse(run.killed, f"still running after {run.patience} s: killed{run.why}")
        if WINE:
            winsock = lambda number: number[1] + WINSOCK.get(number[2], number[2])
            output = re.sub(r"(ERROR=|send error )(\d+)", winsock, output)
        self.assertEqual(run.output, output, run.why)
        self.assertEqual((run.status, run.errors, run.bare_line_feeds), (status, "", 0), run.why)

    def expect_like(self, run, pattern, status):  # output with numbers of its own, as a pattern
        self.assertFalse(run.killed, f"still running after {run.patience} s: killed{run.why}")
        self.assertRegex(run.output, pattern, run.why)
        self.assertEqual((run.status, run.errors, run.bare_line_feeds), (status, "", 0), run.why)

    def expect_verdict(self, run, verdict, least_ms=0):  # least_ms: the elapsed time of an OK
        if verdict != OK_LINE:
            return self.expect(run, STEPS + verdict, Exit.ANSWER_NOT_OK)
        finish = re.escape(STEPS + OK_LINE) + r"Finish OK elapsed times\(ms\): \d+\n\Z"
        self.expect_like(run, finish, Exit.OK)
        self.assertGreaterEqual(int(run.output.split()[-1]), least_ms, run.why)

    def expect_accepted(self, run):  # natively the clock is frozen: no time elapses
        if HOST_CLOCK:
            self.expect_verdict(run, OK_LINE)
        else:
            self.expect(run, FROZEN_OK, Exit.OK)

    def expect_received(self, peer, received):  # None: no connection at all
        peer.finish()
        connected = int(received is not None)
        self.assertEqual((peer.connections, peer.received), (connected, received or ""))

    def expect_request(self, run, received, request):
        # Natively the clocks are frozen; under Wine, Windows' own must fall within the run.
        if HOST_CLOCK:
            layer, tenth = divmod(int(re.search(r'"_id":"(\d+)"', received)[1]), 1000000)
            tenths = [t // 1000000 % 864000 for t in range(run.began, run.ended + 1000000, 1000000)]
            self.assertIn(tenth, tenths)
            self.assertEqual(str(layer), re.search(r'"_id":"(\d+)\d{6}"', request)[1])
            request = re.sub(r'"_id":"\d+"', re.search(r'"_id":"\d+"', received)[0], request)
            time_value = re.search(r'"time":(\d+)', received)
            if time_value:
                self.assertTrue(run.began <= int(time_value[1]) - 10000000 <= run.ended)
                request = re.sub(r'"time":\d+', time_value[0], request)
        self.assertEqual(received, request, run.why)


def native_only(test):
    return unittest.skipIf(WINE, "needs libfaketime, or Wine differs from Windows here")(test)


# A port or layer argument out of range, and the number the message shows; no port: the peer's.
OutOfRange = namedtuple("OutOfRange", "port layer shown", defaults=("", "1", 0))


class Arguments(Table):
    def test_any_count_but_four_prints_the_usage(self):
        for count in (0, 3, 5):
            peer = Peer()
            run = Run(["127.0.0.1", peer.port, "1", "c.json", "extra"][:count])
            self.expect(run, USAGE_TEXT, Exit.USAGE)
            self.expect_received(peer, None)

    def test_a_port_or_layer_out_of_range_ends_before_any_connection(self):
        for row in [
            OutOfRange(port="55556", shown=55556),
            OutOfRange(port="-99999999999", layer="0", shown=-(2**31)),  # the port comes first
            OutOfRange(layer="0", shown=0),
            OutOfRange(layer="100", shown=100),
        ]:
            with self.subTest(row=row):
                peer = Peer()
                run = client(row.port or peer.port, CUE, row.layer)
                if row.port:
                    bad, status = f"Bad port number {row.shown} (must be 1..55555)", Exit.BAD_PORT
                else:
                    bad, status = f"Bad layer number {row.shown} (must be 1..99)", Exit.BAD_LAYER
                self.expect(run, bad, status)
                self.expect_received(peer, None)

    def test_a_refused_connect_names_the_address_as_typed_and_a_file_is_looked_at_after_it(self):
        with free_socket(listen=False) as bound:  # nobody listens there
            port = str(bound.getsockname()[1])
            refused = f"ERROR: connect(127.0.0.1:{port}) ERROR=111\n"
            run = Run(["127.0.0.1", port + "abc", "1", "c.json"])
            self.expect(run, refused, Exit.CONNECT_FAILED)
        # A host name is not looked up, and only four decimal numbers are an address: the connect
        # goes to the all-ones address, not to the listener.
        peer = Peer()
        for host in ["localhost", "127.0.0.01"]:
            refused = rf"^ERROR: connect\({host}:{peer.port}\) ERROR=\d+\n\Z"
            self.expect_like(Run([host, peer.port, "1", "c.json"]), refused, Exit.CONNECT_FAILED)
        self.expect_received(peer, None)
        for file in ["/nonexistent/c.json", files.name]:  # missing, a directory: after the connect
            peer = Peer()
            run = Run(["127.0.0.1", " +" + peer.port, "1", path(file)])
            self.expect(run, "Can't open JSON file", Exit.COMMAND_FILE_FAILED)
            self.expect_received(peer, "")


BAD_FORMAT = "ERROR - JSON '{}' has bad format.\n"
NO_TYPE = "ERROR - JSON '{}' has not parameter 'type'.\n"
NO_PARAMS = "ERROR - JSON '{}' has not parameter 'params'.\n"
BAD_PARAMS = "ERROR - JSON '{}' has bad format for parameter 'params'.\n"
NOT_A_STRING = "Unexpected error on parse JSON '{}' ERROR=302, [json.exception.type_error.302] "
NOT_A_STRING += "type must be string, but is number\n"
ZERO_BYTE = "ERROR - JSON file has a zero byte at byte {} and text after it\n"
GIVEN_UP = "ERROR - JSON file did not end within 5 minutes\n"


def nested(depth, type="DSK_Cue"):
    brackets = "[" * (depth - 1) + "]" * (depth - 1)
    return '{"type":"' + type + '","params":{},"deep":' + brackets + "}"


# A command file and the message that refuses it.
Refused = namedtuple("Refused", "file message wine_only", defaults=(False,))


def refused(file, message):  # the message quotes the file as it is
    return Refused(file, message.format(file))


# A large command file, the run's output and status, and the bytes the server received.
Large = namedtuple("Large", "file output status sent popen", defaults=("", {}))


class Command(Table):
    def test_a_refused_command_prints_its_one_message_and_sends_nothing(self):
        for row in [
            refused("", BAD_FORMAT),
            refused('{"type":"DSK_Cue",\n"params":{}} {}\n', BAD_FORMAT),
            refused('{"params":{}}\n', NO_TYPE),
            refused('{"type":1}', NO_PARAMS),
            refused('{"type":1,"params":[]}', BAD_PARAMS),
            refused('{"type":5,"params":{}}', NOT_A_STRING),
            refused('{"type":"%s%n%d"}', NO_PARAMS),
            refused("\xEF\xBB\xBF{}", NO_TYPE),
            refused('[{"type":"A","params":{}}]', BAD_FORMAT),
            refused(nested(513), BAD_FORMAT),
            refused(CUE[:-2] + '"a":' + "[" * 100000 + "]" * 100000 + "}}", BAD_FORMAT),
            refused(CUE[:-2] + '"clip":"\xFF\xFE"}}', BAD_FORMAT),
            # The text ends at its first zero byte: anything after it but zero bytes and
            # blanks, however far, would be left out without a word.
            Refused(CUE[:-2] + '"t":"Breaking\0   \nNews"}}', ZERO_BYTE.format(41)),
            Refused(CUE + "\0" + " " * 70000 + "x", ZERO_BYTE.format(len(CUE))),
            # Text mode on Windows: CR LF arrives as LF, and Ctrl-Z ends the text.
            Refused('{\r\n"params":{}\r\n}\r\n', NO_TYPE.format('{\n"params":{}\n}\n'), True),
            Refused('{"type":1}\x1A{"params":{}}\n', NO_PARAMS.format('{"type":1}'), True),
        ]:
            if row.wine_only and not WINE:
                continue
            with self.subTest(file=row.file[:60]):
                peer = Peer()
                # A command sent by mistake meets a silent server: sped up, it ends at once.
                run = client(peer.port, row.file, clock=None if HOST_CLOCK else FAST)
                self.expect(run, row.message, Exit.BAD_COMMAND)
                self.expect_received(peer, "")

    @native_only
    def test_past_64_mib_nothing_is_sent_and_pipes_serve(self):
        padded, (piped, into) = CUE + " " * ((64 << 20) - len(CUE)), os.pipe()
        os.write(into, CUE.encode())
        os.close(into)
        too_large = "ERROR - JSON file is larger than 67108864 bytes\n"
        rows = [
            Large(write(padded), FROZEN_OK, Exit.OK, sent=CUE_SENT),
            Large("/dev/stdin", FROZEN_OK, Exit.OK, sent=CUE_SENT, popen={"stdin": piped}),
            Large(write(padded + " "), too_large, Exit.COMMAND_FILE_FAILED),
            Large("/dev/zero", too_large, Exit.COMMAND_FILE_FAILED),
        ]
        for row in rows:
            peer = Peer(READ, send('{"status":"Ok"}'))
            run = Run(["127.0.0.1", peer.port, "1", row.file], FROZEN, **row.popen)
            self.expect(run, row.output, row.status)
            self.expect_received(peer, row.sent)
        os.close(piped)

    @native_only
    def test_a_command_file_that_never_ends_is_given_up_after_five_minutes(self):
        fifo, (silent, writer), (terminal, unused) = files.name + "/fifo", os.pipe(), pty.openpty()
        os.mkfifo(fifo)  # without a writer
        for file, stdin in [(fifo, None), ("/dev/stdin", silent), ("/dev/stdin", terminal)]:
            with self.subTest(file=file, stdin=stdin):
                peer = Peer()
                run = Run(["127.0.0.1", peer.port, "1", file], FAST, stdin=stdin, patience=5)
                self.expect(run, GIVEN_UP, Exit.COMMAND_FILE_FAILED)
                self.expect_received(peer, "")

    @unittest.skipIf(HOST_CLOCK, "needs libfaketime")
    def test_a_writer_that_never_stops_is_given_up_after_five_minutes_too(self):
        # A blank every 10 ms, so that no read waits its 100 ms for nothing; after half a second
        # the client's clock jumps ten minutes ahead.
        (piped, into), stamp, stop, peer = os.pipe(), write("+0"), threading.Event(), Peer()
        jump = threading.Timer(0.5, os.replace, (write("+10m"), stamp))
        blanks = threading.Thread(target=trickle, args=(into, stop))
        jump.start()
        blanks.start()
        clock = dict(os.environ, FAKETIME_TIMESTAMP_FILE=stamp, FAKETIME_NO_CACHE="1")
        clock["LD_PRELOAD"] = os.environ["LARKWIRE_FAKETIME"]
        run = Run(["127.0.0.1", peer.port, "1", "/dev/stdin"], stdin=piped, env=clock, patience=5)
        stop.set()
        blanks.join()
        os.close(into)
        os.close(piped)
        self.expect(run, GIVEN_UP, Exit.COMMAND_FILE_FAILED)
        self.expect_received(peer, "")


def trickle(into, stop):  # a blank every 10 ms into the pipe, until stopped
    while not stop.wait(0.01):
        os.write(into, b" ")


def write_and_close(into, text):
    os.write(into, text.encode())
    os.close(into)


# A valid command file (named name, else by a number) sent to a layer at a time, and the request.
Sent = namedtuple("Sent", "layer file clock request name", defaults=("",))


class Request(Table):
    def test_valid_commands_arrive_completed_compact_and_sorted(self):
        # Written members replaced, others kept and sorted; numbers as the JSON library writes
        # them; escapes written out; the layer's tenths truncated (libfaketime gives .990 exactly).
        file = (
            '{"type": "DSK_Eject", "_id": 5, "extra": [1, 2.50, null, 18446744073709551615, 1E2],'
            ' "Z": 1, "\xC3\xA9": "\\u00e9\\/\\"\\u0001",\n "params": {"layer_id": 7, "Name":'
            ' "A b", "_id": "x", "head_id": null, "time": "keep"}}'
        )
        eject = (
            '{"Z":1,"_id":"2000099","extra":[1,2.5,null,18446744073709551615,100.0],"params":'
            '{"Name":"A b","_id":"x","head_id":"2","layer_id":"1","time":"keep"},"type":"DSK_Eject",'
            '"\xC3\xA9":"\xC3\xA9/\\"\\u0001"}'
        )
        play = '{"_id":"4432000","params":{"head_id":"2","layer_id":"2","time":17376336010000000},'
        play += '"type":"DSK_Play"}'
        scte = '{"_id":"99863990","params":{"head_id":"1","layer_id":"50",'
        scte += '"time":17376768000000000},"type":"SCTE_SetMessage"}'
        deep = '{"_id":"3036000","deep":' + "[" * 511 + "]" * 511 + ',"params":{"head_id":"1",'
        stop = deep + '"layer_id":"2","time":17375940010990000},"type":"DSK_Stop"}'
        layer_5 = CUE_SENT.replace("1432000", "5432000").replace('"layer_id":"1"', '"layer_id":"3"')
        bom_crlf = '\xEF\xBB\xBF{\r\n"type":"SCTE_SetMessage",\r\n"params":{"time":"x"}\r\n}'
        for row in [
            Sent("4", '{\n  "type": "DSK_Play",\n  "params": {}\n}\n', FROZEN, play),
            Sent("2", file, "2025-01-23 00:00:09.990", eject),
            # The last layer, a byte-order mark, CR LF line ends; a timed command's "time" replaced.
            Sent("99", bom_crlf, "2025-01-23 23:59:59", scte),
            Sent("1", CUE, "1969-12-31 23:00:00", CUE_SENT.replace("1432000", "1828000")),
            # Zero bytes and blanks after the command change nothing.
            Sent("1", CUE + "\0\0 \t\r\n\0", FROZEN, CUE_SENT),
            Sent("3", nested(512, "DSK_Stop"), "2025-01-23 01:00:00.099", stop),
            # Named outside the ANSI code page: Windows opens it by its UTF-16 name.
            Sent("5", CUE, FROZEN, layer_5, name="\u65e5\u672c.json"),
            Sent("5", CUE, FROZEN, layer_5, name="\U0001f3ac.json"),
        ]:
            with self.subTest(layer=row.layer, clock=row.clock):
                sim, file = SimProcess(), path(write(row.file, row.name))
                run = Run(
                    ["127.0.0.1", sim.port, row.layer, file], None if HOST_CLOCK else row.clock
                )
                self.assertEqual(sim.stop(), 0)
                logged = [(e["verdict"], e["request_bytes"]) for e in sim.entries]
                self.assertEqual(logged, [("Ok", len(row.request))])
                self.assertNotIn("sent more bytes", sim.output)
                self.expect_request(run, sim.entries[0]["request"], row.request)
                self.expect_accepted(run)

    def test_a_large_request_arrives_whole_at_a_server_that_reads_late(self):
        payload = "p" * (8 << 20)  # beyond the sim's 1 MiB
        peer = Peer(pause(0.5), READ, send('{"_id":"1","status":"Ok"}'))
        blob = CUE[:-2] + '"blob":"' + payload + '"}}'
        run = client(peer.port, blob, "2", None if HOST_CLOCK else FROZEN)
        self.expect_accepted(run)
        request = CUE_SENT.replace('"head_id":"1"', '"blob":"' + payload + '","head_id":"2"')
        self.expect_request(run, peer.finish().received, request.replace("1432000", "2432000"))


# What the server does, the client's verdict, an OK's least elapsed time, and the client's clock.
Reply = namedtuple("Reply", "script verdict least_ms clock", defaults=(100, None))


class Answer(Table):
    def test_the_answers_own_status_decides_as_soon_as_it_is_certain(self):
        words, garbage = '"status":"Ok"', "".join(map(chr, range(1, 256))).replace('"', "")
        refusal = '\xEF\xBB\xBF{"status":"Error","message":"unknown clip","ok":false}'
        layered, cut = '{"layer":{"status":"ok"},"ok":false,"status":"Error"}', '{"ok":true,'
        zero_first = send("\0{" + words + "}")
        for row in [
            Reply((READ, send('{"_id":"3000000","status":"Ok"}')), OK_LINE),
            Reply((send("{" + words + "}"), READ), OK_LINE),  # before the request has arrived
            Reply((READ, send(" " * (1024 - len(words)) + words)), OK_LINE),
            Reply((READ, send("{" + words + "}\0junk")), OK_LINE),
            Reply((READ, send('{"sta'), pause(0.3), send('tus":"Ok"}')), OK_LINE, least_ms=300),
            # The root status decides, behind a byte-order mark too; a nested one never over it,
            # wherever the server's writes part the answer.
            Reply((READ, send(refusal)), ERROR_LINE),
            Reply((READ, *parted(layered, 35)), ERROR_LINE, clock=SPED),
            Reply((READ, *parted(layered, 14, 38, 48)), ERROR_LINE, clock=SPED),
            # Without a root status the words decide over all objects so far, and as they come
            # in text that is no object.
            Reply((READ, *parted('{"status":"received"}{"result":"ok"}', 21)), OK_LINE, clock=SPED),
            Reply((READ, send('{"hello":"larkwire"},{"status":"Ok"}')), OK_LINE, clock=SPED),
            # Text that can no longer change (1024 bytes, a zero byte, the server closed its
            # side) is decided at once.
            Reply((READ, *parted(cut + " " * 1002 + '"status":"Ok"}', 1024)), OK_LINE),
            Reply((READ, send('{"result":"Ok"}'), CLOSE), NO_ANSWER_LINE, clock=SPED),
            Reply((READ, send('{"status":"pending"'), HALF), NO_ANSWER_LINE, clock=SPED),
            Reply((READ, send('{"status":"busy"' + " " * 1008)), NO_ANSWER_LINE, clock=SPED),
            Reply((READ, send(" " * (1025 - len(words)) + words)), NO_ANSWER_LINE, clock=SPED),
            Reply((READ, send("x" * (1 << 20) + words), CLOSE), NO_ANSWER_LINE, clock=SPED),
            Reply((READ, send(garbage), pause(0.15), zero_first), NO_ANSWER_LINE, clock=SPED),
            # No verdict, the connection open: the wait ends when the five minutes have passed.
            Reply((READ, send('{"status":"OK"}')), NO_ANSWER_LINE, clock=FAST),
        ]:
            if HOST_CLOCK and row.clock == FAST:
                continue
            with self.subTest(script=str(row.script)[:80]):
                peer = Peer(*row.script)
                run = client(peer.port, PLAY, "3", None if HOST_CLOCK else row.clock)
                self.expect_verdict(run, row.verdict, row.least_ms)
                self.assertLess(run.seconds, 3 if row.clock == SPED else 30, run.why)
                self.assertTrue(complete(peer.finish().data) and '"DSK_Play"' in peer.received)

    @native_only
    def test_a_server_that_goes_or_never_reads_while_the_request_is_sent_ends_the_run(self):
        file = write(CUE[:-2] + '"blob":"' + "b" * (16 << 20) + '"}}')
        for script, clock, errors in [
            ((pause(0.3), RESET), None, "(32|104)"),
            ((pause(0.3), HALF, pause(0.1), CLOSE), None, "(32|104)"),
            ((pause(3),), FAST, "110"),  # the send's five minutes pass before it reads
        ]:
            with self.subTest(script=script):
                peer = Peer(*script)
                run = Run(["127.0.0.1", peer.port, "1", file], clock)
                failed = f"^{STEPS[:37]}   !!! send error {errors}\n$"
                self.expect_like(run, failed, Exit.SEND_FAILED)
                peer.finish()

    @native_only  # no libfaketime, whose own descriptor would fill a closed standard output
    def test_a_closed_or_unread_standard_output_leaves_the_request_and_the_verdict_intact(self):
        sent = r'^\{"_id":"1\d{6}","params":\{"head_id":"1","layer_id":"1"\},"type":"DSK_Cue"\}$'
        for closed in (True, False):
            peer, (unread, gone) = Peer(pause(0.2), send('{"status":"Ok"}')), os.pipe()
            os.close(unread)
            closing = lambda: closed and os.close(1)
            out = dict(stdout=gone, stderr=subprocess.PIPE, preexec_fn=closing)
            for command in [CLIENT, "127.0.0.1", peer.port, "1", write(CUE)], [SIM, "--version"]:
                outcome = subprocess.run(command, **out)
                self.assertEqual((outcome.returncode, outcome.stderr), (0, b""))
            os.close(gone)
            self.assertRegex(peer.finish().received, sent)


# The sim's options, the command, the client's verdict, the answer the sim logs as sent, the
# client's clock and its least and most time, and whether Wine's sockets differ from Windows' here.
fields = "options command verdict logged clock least_ms most_seconds native_only"
Mode = namedtuple("Mode", fields, defaults=(None, 100, 5, False))


class Sim(Table):
    def test_each_answer_mode_gives_the_client_its_outcome(self):
        unknown = '{"type":"DSK_Pause","params":{}}'  # sent as it is; the sim does not know it
        reset = "   !!! send error 104\n"
        for row in [
            Mode("", PLAY, OK_LINE, "Ok"),
            Mode("", unknown, ERROR_LINE, "Error"),
            Mode("--answer ok", unknown, OK_LINE, "Ok"),
            Mode("--answer error", PLAY, ERROR_LINE, "Error"),
            Mode("--answer none", PLAY, NO_ANSWER_LINE, "", clock=FAST),
            # The sim's close ends the wait at once: sped up, five minutes would show.
            Mode("--answer close", PLAY, NO_ANSWER_LINE, "", clock=SPED, least_ms=0),
            # Wine's recv gives 0 at a reset, where Windows fails with 10054.
            Mode("--answer reset --delay 200", PLAY, reset, "", least_ms=200, native_only=True),
            Mode("--split", PLAY, OK_LINE, "Ok", least_ms=500),
            Mode("--split --answer error", PLAY, ERROR_LINE, "Error", least_ms=500),
        ]:
            if HOST_CLOCK and row.clock == FAST or WINE and row.native_only:
                continue
            with self.subTest(options=row.options, command=row.command):
                sim = SimProcess(*row.options.split())
                run = client(sim.port, row.command, "7", None if HOST_CLOCK else row.clock)
                self.expect_verdict(run, row.verdict, row.least_ms)
                if HOST_CLOCK or row.clock is None:
                    self.assertTrue(row.least_ms / 1000 <= run.seconds < row.most_seconds, run.why)
                self.assertEqual(sim.stop(), 0)
                status = r'^\{"_id":"7\d{6}","status":"(\w+)".*'
                logged = [re.sub(status, r"\1", entry["sent"]) for entry in sim.entries]
                self.assertEqual(logged, [row.logged], sim.output)

    def test_an_answer_plan_plays_a_mode_a_request_and_a_failing_log_is_told_once(self):
        sim = SimProcess("--answer", "ok,error,none", limits=[(resource.RLIMIT_FSIZE, 2000)])
        socket.create_connection(("127.0.0.1", int(sim.port))).close()  # no request, no turn
        too_large = CUE[:-2] + '"clip":"' + "x" * 3000 + '"}}'  # for the log; service goes on
        plan = [(too_large, OK_LINE, None), (CUE, ERROR_LINE, None)]
        if not HOST_CLOCK:  # the last mode stays: no answer, the five minutes sped up
            plan += [(CUE, NO_ANSWER_LINE, FAST)] * 2
        for command, verdict, clock in plan:
            self.expect_verdict(client(sim.port, command, clock=clock), verdict)
        self.assertEqual((sim.stop(), len(sim.entries)), (0, len(plan) - 1))  # the first not logged
        told = [sim.output.count(f"{told} to the log file") for told in ["can't write", "writing"]]
        self.assertEqual(told, [1, 1], sim.output)

    def test_every_example_is_accepted_and_progress_reaches_a_pipe_during_the_wait(self):
        sim = SimProcess("--delay", "01000")  # decimal digits, not octal
        names = ["DskCue", "DskPlay", "DskContinue", "DskStop", "DskEject", "ScteSetMessage"]
        for layer, name in zip(range(1, 99, 17), names):
            run = Run(["127.0.0.1", sim.port, str(layer), path(f"{EXAMPLES}/{name}.json")])
            self.expect_verdict(run, OK_LINE, 1000)
            self.assertGreater(run.output_to_exit, 0.9, run.why)  # the step lines came first
        self.assertEqual((sim.stop(), [entry["verdict"] for entry in sim.entries]), (0, ["Ok"] * 6))
        self.assertIn(" DSK_Continue _id ", sim.output)

    @native_only
    def test_a_client_socket_numbered_past_the_select_limit_works(self):
        most = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
        resource.setrlimit(resource.RLIMIT_NOFILE, (4096, most))
        taken, sim = [os.open(os.devnull, os.O_RDONLY) for _ in range(1500)], SimProcess()
        run = Run(["127.0.0.1", sim.port, "6", f"{EXAMPLES}/DskEject.json"], keep_open=taken)
        self.expect_verdict(run, OK_LINE)
        for descriptor in taken:
            os.close(descriptor)
        self.assertEqual(sim.stop(), 0)

    def test_the_sim_serves_each_connection_on_its_own_and_judges_what_arrives(self):
        sim = SimProcess()
        connect = lambda: socket.create_connection(("127.0.0.1", int(sim.port)))
        eject = b'{"_id":"2000000","params":{"head_id":"2","layer_id":"1"},"type":"DSK_Eject"}'
        with connect() as slow, connect() as chatty:
            slow.sendall(b'{"_id":"1000000","params":{')
            chatty.sendall(eject + b"\n")  # bytes after the request are reported
            self.assertEqual(chatty.recv(4096), b'{"_id":"2000000","status":"Ok"}')
            self.assertTrue(sim.await_output(" sent more bytes after its request\n"), sim.output)
            run = client(sim.port, '{"type":"DSK_Pause\\u0085\\u202e","params":{}}', "3")
            self.expect_verdict(run, ERROR_LINE)  # not a known type
            self.assertLess(run.seconds, 2)  # the slow one delays no other
            connect().close()
            self.assertTrue(sim.await_output(" closed the connection without sending a request\n"))
            slow.settimeout(15)
            too_slow = b'"status":"Error","message":"no complete JSON value arrived within 10 s"}'
            self.assertEqual(slow.recv(4096), b'{"_id":"",' + too_slow)
        with connect() as large:
            blob = b'{"a":"' + b"b" * (2 << 20) + b'"}'
            sender = threading.Thread(target=large.sendall, args=(blob,))
            sender.start()
            too_large = b'"status":"Error","message":"the request is larger than 1 MiB"}'
            self.assertEqual(large.recv(4096), b'{"_id":"",' + too_large)
            large.shutdown(socket.SHUT_RDWR)
            sender.join()
        self.assertEqual(sim.stop(signal.SIGINT), 0)
        self.assertEqual([e["verdict"] for e in sim.entries], ["Ok", "Error", "Error", "Error"])
        self.assertEqual(sim.entries[-1]["request"], json.dumps(blob[:4096].decode()))
        self.assertTrue(sim.entries[-1]["request_cut"])
        self.assertGreater(sim.entries[-1]["request_bytes"], 1 << 20)  # what arrived
        # The rest of the large request is no news, bytes after a complete one are.
        self.assertEqual(sim.output.count(" sent more bytes after its request\n"), 1, sim.output)
        # Its line of the refused command, control characters escaped, and its last line.
        judged = r" layer 3 \(layer_id 2, head_id 1\) DSK_Pause\\u0085\\u202e _id 3\d{6}"
        self.assertRegex(sim.output, judged + ' time ahead -: Error - "type" is not a known')
        self.assertTrue(sim.output.endswith("larkwire-sim: stopped by signal 2\n"), sim.output)

    @native_only
    def test_a_client_reading_its_command_from_a_slow_pipe_is_served(self):
        # The command comes later than the 10 s a request may take, which count from its first
        # byte: a client may read its command file for five minutes once it has connected.
        sim, (piped, into) = SimProcess(), os.pipe()
        producer = threading.Timer(10.5, write_and_close, (into, CUE))
        producer.start()
        run = Run(["127.0.0.1", sim.port, "1", "/dev/stdin"], stdin=piped)
        producer.join()
        os.close(piped)
        self.expect_verdict(run, OK_LINE)
        self.assertEqual(sim.stop(), 0)

    @native_only
    def test_its_own_failures_say_so_and_end_non_zero(self):
        taken = free_socket()
        where, version = f"127.0.0.1:{taken.getsockname()[1]}", os.environ["LARKWIRE_VERSION"]
        in_use = f"can't listen on {where}: the port is in use by another program\n"
        no_log = "can't open the log file /nonexistent/r.jsonl: No such file or directory\n"
        for given, status, told in [
            ("--version", 0, f"larkwire-sim {version}\n"),
            (f"--listen {where}", 1, "larkwire-sim: " + in_use),
            ("--listen 127.0.0.1:0 --log /nonexistent/r.jsonl", 1, "larkwire-sim: " + no_log),
            ("--listen 203.0.113.9:1", 1, "larkwire-sim: warning: 203.0.113.9 is not a loopback"),
            ("--answer maybe", 2, "larkwire-sim: --answer: each answer must be one of judge, ok,"),
            ("--delay 0x400", 2, "larkwire-sim: --delay: the delay must be decimal digits"),
            ("--frobnicate", 2, "larkwire-sim: The following argument was not expected: --frob"),
            (
                "--listen 127.0.0.1:55556",
                2,
                "larkwire-sim: --listen: the port must be a number 0..5",
            ),
            ("--log ''", 2, "larkwire-sim: --log: name a file"),
            ("--split=3", 2, "larkwire-sim: split was given a disallowed flag override"),
        ]:
            arguments = [argument.strip("'") for argument in given.split()]
            run = subprocess.run([SIM, *arguments], capture_output=True, text=True, timeout=10)
            self.assertEqual(run.returncode, status, given)
            self.assertTrue((run.stdout + run.stderr).startswith(told), run.stdout + run.stderr)
        taken.close()


if __name__ == "__main__":
    try:
        unittest.main(argv=sys.argv[:1] + sys.argv[3 + HOST_CLOCK :])
    finally:
        for process in SIMS:
            process.kill()
        files.cleanup()
