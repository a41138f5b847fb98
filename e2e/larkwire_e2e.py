#!/usr/bin/env python3
# End-to-end tests: the built client against larkwire-sim, or against a scripted server where the
# sim never behaves that way, all on 127.0.0.1. Each run is checked byte for byte: its output, its
# exit status (as the program returns it: -12 is 244 to a shell), an empty standard error and,
# where a server stands, the bytes the server received.
#
#   larkwire_e2e.py [--wine | --static] CLIENT SIM [unittest arguments, such as a table's name]
#
# A table is a class of Table; ctest finds the tables in this file. Natively the client's clocks
# are frozen or sped up by libfaketime (LARKWIRE_FAKETIME names it), and it runs in a zone far from
# UTC, so that a client reading local time fails. With --wine, CLIENT is Larkwire.exe under Wine
# (Winsock's error numbers, CR LF line ends, Z: paths); with --static, statically linked programs,
# which libfaketime cannot enter. Both take the host's clocks, and skip what needs libfaketime.
# Texts are bytes spelt as Latin-1.
import calendar, json, os, re, select, shlex, signal, socket, subprocess, sys, tempfile
import threading, time, unittest
from collections import namedtuple

PROFILE = sys.argv[1] if sys.argv[1] in ("--wine", "--static") else ""
WINE = PROFILE == "--wine"
HOST_CLOCK = PROFILE != ""
CLIENT, SIM = sys.argv[1 + HOST_CLOCK : 3 + HOST_CLOCK]
HERE = os.path.dirname(os.path.abspath(__file__))
FROZEN = "2025-01-23 12:00:00"  # a UTC instant the client's clocks are frozen at
FAST = "+0 x1000"  # the five-minute limit passes in 0.3 s
SPED = "+0 x50"  # it passes in 6 s: an end well before that did not wait for it
PATIENCE = 10  # seconds: a client still running then is killed, and fails its test
os.environ["TZ"] = "IST-5:30"
time.tzset()
# A sanitized client's allocator reads the monotonic clock while it holds its lock; libfaketime,
# not yet set up then, allocates, and the client deadlocks at start-up. Without the allocator's
# release timer it never reads that clock.
ASAN_OPTIONS = os.environ.get("ASAN_OPTIONS", "")
os.environ["ASAN_OPTIONS"] = ASAN_OPTIONS + ":allocator_release_to_os_interval_ms=-1"
native_only = unittest.skipIf(WINE, "Wine differs from Windows here")
needs_faketime = unittest.skipIf(HOST_CLOCK, "needs libfaketime")

STEPS = "Step 1/2: send command to layer N...\nStep 2/2: wait answer for the command...\n"
OK_LINE = "   OK answer detected.\n"
ERROR_LINE = "   ERROR answer detected.\n"
NO_ANSWER_LINE = "   !!! ERROR - NO ANSWER in 5 minutes !!!\n"
CUE = '{"type":"DSK_Cue","params":{}}'
PLAY = '{"type":"DSK_Play","params":{"clip":"news"}}'
CUE_SENT = '{"_id":"1432000","params":{"head_id":"1","layer_id":"1"},"type":"DSK_Cue"}'  # FROZEN
files = tempfile.TemporaryDirectory(prefix="larkwire-e2e-")
SIMS = []


def path(host_path):  # as the client is given it
    if WINE:
        return "Z:" + host_path.replace("/", "\\")
    return host_path


def write(text, name=None):
    name = name or str(len(os.listdir(files.name)))
    with open(os.path.join(files.name, name), "wb") as file:
        file.write(text.encode("latin-1"))
    return file.name


def frozen(utc):  # libfaketime reads a frozen instant in the local zone
    seconds, dot, fraction = utc.partition(".")
    moment = time.localtime(calendar.timegm(time.strptime(seconds, "%Y-%m-%d %H:%M:%S")))
    return time.strftime("%Y-%m-%d %H:%M:%S", moment) + dot + fraction


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


# What a scripted server does: read the whole request, close, reset.
READ = ("read",)
CLOSE = ("close",)
RESET = ("reset",)


def send(text):
    return ("send", text)


def pause(seconds):
    return ("pause", seconds)


def complete(data):  # the request has no terminator: it ends where one JSON value does
    try:
        return data.endswith(b"}") and json.loads(data) is not None
    except ValueError:
        return False


class Peer:  # plays its script on the first connection, then reads on until the client closes
    def __init__(self, *script):
        self.listener = free_socket()
        self.port = str(self.listener.getsockname()[1])
        self.data = bytearray()
        self.connections = 0
        self.finishing = False
        self.thread = threading.Thread(target=self.serve, args=(script,), daemon=True)
        self.thread.start()

    def serve(self, script):
        while True:
            finishing = self.finishing  # a client that has ended may have left its connection
            if select.select([self.listener], [], [], 0 if finishing else 0.02)[0]:
                break
            if finishing:
                return
        self.connections = 1
        with self.listener.accept()[0] as connection:
            connection.settimeout(PATIENCE)
            self.play(connection, script)

    def play(self, connection, script):
        for step in script:
            if step == READ:
                while not complete(self.data) and self.receive(connection):
                    pass
            elif step in (CLOSE, RESET):  # a zero linger time makes the close abortive
                linger = bytes([step == RESET, 0, 0, 0, 0, 0, 0, 0])
                return connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, linger)
            elif step[0] == "send":
                connection.sendall(step[1].encode("latin-1"))
            else:
                time.sleep(step[1])
        while self.receive(connection):
            pass

    def receive(self, connection):
        try:
            piece = connection.recv(1 << 16)
        except OSError:
            return False
        self.data += piece
        return piece != b""

    def finish(self):  # what arrived
        self.finishing = True
        self.thread.join()
        self.listener.close()
        return self.data.decode("latin-1")


class SimProcess:  # larkwire-sim on a free port of its choosing, with its request log
    def __init__(self, *options, limit=None):  # limit: one of prlimit's, such as --fsize=2000
        self.log = write("")
        command = [SIM, "--listen", "127.0.0.1:0", "--log", self.log, *options]
        if limit:
            command = ["prlimit", limit, *command]
        out = dict(stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.process = subprocess.Popen(command, **out)
        SIMS.append(self.process)
        self.output = self.process.stdout.readline()
        self.port = re.search(r"listening on 127\.0\.0\.1:(\d+),", self.output)[1]
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.process.stdout:
            self.output += line

    def connect(self):
        return socket.create_connection(("127.0.0.1", int(self.port)), timeout=PATIENCE + 5)

    def stop(self):
        self.process.send_signal(signal.SIGINT)
        status = self.process.wait(10)
        self.reader.join()
        assert self.output.endswith("larkwire-sim: stopped by signal 2\n"), self.output
        assert status == 0, self.output
        with open(self.log, encoding="utf-8") as log:
            self.entries = [json.loads(line) for line in log]
        return self


class Run:  # one run of the client: its output, status, standard error and time
    def __init__(self, arguments, clock=None, patience=PATIENCE, env=None, **popen):
        environment = dict(env or os.environ)
        if clock and HOST_CLOCK:
            raise unittest.SkipTest("needs libfaketime")
        if clock:
            environment["LD_PRELOAD"] = os.environ["LARKWIRE_FAKETIME"]
            environment["FAKETIME"] = clock if clock.startswith("+") else frozen(clock)
        command = ["wine", CLIENT] if WINE else [CLIENT]
        out = dict(stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment)
        self.began = time.time_ns() // 100
        # In a group of its own, so that a client that hangs is ended whole.
        process = subprocess.Popen(command + arguments, start_new_session=True, **out, **popen)
        self.patience = patience
        self.killed = False
        try:
            output, errors = process.communicate(timeout=patience)
        except subprocess.TimeoutExpired:
            self.killed = True
            os.killpg(process.pid, signal.SIGKILL)
            output, errors = process.communicate()
        self.ended = time.time_ns() // 100
        self.seconds = (self.ended - self.began) / 1e7
        self.status = process.returncode
        self.output = output.decode("latin-1")
        self.bare_line_feeds = len(re.findall("(?<!\r)\n", self.output)) if WINE else 0
        self.output = self.output.replace("\r\n", "\n") if WINE else self.output
        self.errors = errors.decode("latin-1")
        self.why = f"\n{arguments}\noutput: {self.output!r}\nstderr: {self.errors!r}"


def client(port, text, layer="1", clock=None, **popen):  # a run with the text as command file
    return Run(["127.0.0.1", port, layer, path(write(text))], clock, **popen)


class Table(unittest.TestCase):
    def expect(self, run, output, status):
        if WINE:  # Winsock's numbers for Linux's
            for linux, windows in [("111", "10061"), ("104", "10054"), ("32", "10053")]:
                output = re.sub(rf"(ERROR=|send error ){linux}\b", rf"\g<1>{windows}", output)
        self.expect_like(run, re.escape(output) + r"\Z", status)

    def expect_like(self, run, pattern, status):  # output with numbers of its own, as a pattern
        self.assertFalse(run.killed, f"still running after {run.patience} s: killed{run.why}")
        self.assertRegex(run.output, "^" + pattern, run.why)
        self.assertEqual(run.status, status % 256, run.why)
        self.assertEqual(run.errors, "", run.why)
        self.assertEqual(run.bare_line_feeds, 0, run.why)  # under Wine, every line ends CR LF

    def expect_verdict(self, run, verdict, least_ms=100):  # least_ms: the elapsed time of an OK
        if verdict != OK_LINE:
            return self.expect(run, STEPS + verdict, -12)
        finish = re.escape(STEPS + OK_LINE) + r"Finish OK elapsed times\(ms\): (\d+)\n\Z"
        self.expect_like(run, finish, 0)
        self.assertGreaterEqual(int(re.search(finish, run.output)[1]), least_ms, run.why)

    def expect_received(self, peer, received):  # None: no connection at all
        self.assertEqual(peer.finish(), received or "")
        self.assertEqual(peer.connections, int(received is not None))

    def expect_request(self, run, received, request):
        if HOST_CLOCK:  # the host's clocks, which must fall within the run
            tenths = {t // 1000000 % 864000 for t in range(run.began, run.ended + 10**6, 10**6)}
            received_id = re.search(r'"_id":"(\d+)"', received)[1]
            self.assertIn(int(received_id) % 1000000, tenths, run.why)
            request = re.sub(r'"_id":"(\d+)\d{6}"', rf'"_id":"\g<1>{received_id[-6:]}"', request)
            received_time = re.search(r'"time":(\d+)', received)
            if received_time:
                self.assertTrue(run.began <= int(received_time[1]) - 10**7 <= run.ended, run.why)
                request = re.sub(r'"time":\d+', received_time[0], request)
        self.assertEqual(received, request, run.why)


USAGE_TEXT = open(os.path.join(HERE, "usage.txt")).read()
BAD_PORT = "Bad port number {} (must be 1..55555)"
BAD_LAYER = "Bad layer number {} (must be 1..99)"


class Arguments(Table):
    def test_any_count_but_four_prints_the_usage(self):
        for count in (0, 3, 5):
            peer = Peer()
            self.expect(Run(["127.0.0.1", peer.port, "1", "c.json", "5"][:count]), USAGE_TEXT, -1)
            self.expect_received(peer, None)

    def test_a_port_or_layer_out_of_range_ends_before_any_connection(self):
        peer = Peer()
        self.expect(client("55556", CUE), BAD_PORT.format(55556), -2)
        # The port comes first; a number beyond 32 bits is clamped.
        self.expect(client("-99999999999", CUE, "0"), BAD_PORT.format(-(2**31)), -2)
        self.expect(client(peer.port, CUE, "0"), BAD_LAYER.format(0), -3)
        self.expect(client(peer.port, CUE, "100"), BAD_LAYER.format(100), -3)
        self.expect_received(peer, None)

    def test_a_connect_that_fails_names_the_address_as_typed_and_the_port_it_took(self):
        # Nothing is looked up, and only four decimal numbers are an address: a host name or a
        # zero-padded address is connected to as the all-ones address, not to the listener.
        peer = Peer()
        with free_socket(listen=False) as bound:  # nobody listens there
            port = str(bound.getsockname()[1])
            run = Run(["127.0.0.1", port + "abc", "1", "c.json"])
            self.expect(run, f"ERROR: connect(127.0.0.1:{port}) ERROR=111\n", -5)
        for host in ["localhost", "127.0.0.01"]:
            refused = rf"ERROR: connect\({host}:{peer.port}\) ERROR=\d+\n\Z"
            self.expect_like(Run([host, peer.port, "1", "c.json"]), refused, -5)
        self.expect_received(peer, None)

    def test_a_missing_file_or_a_directory_is_looked_at_after_the_connect(self):
        for file in ["/nonexistent/c.json", files.name]:
            peer = Peer()
            run = Run(["127.0.0.1", " +" + peer.port, "1", path(file)])
            self.expect(run, "Can't open JSON file", -6)
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
    return '{"type":"' + type + '","params":{},"deep":' + "[" * depth + "]" * depth + "}"


# A command file and the message that refuses it.
Refused = namedtuple("Refused", "file message")


def refused(file, message):  # the message quotes the file as read: text mode on Windows
    return Refused(file, message.format(file.replace("\r\n", "\n") if WINE else file))


class Command(Table):
    def test_a_refused_command_prints_its_one_message_and_sends_nothing(self):
        for row in [
            refused("", BAD_FORMAT),
            refused('{\r\n"params":{}}\r\n', NO_TYPE),
            refused('{"type":1,"params":[]}', BAD_PARAMS),
            refused('{"type":5,"params":{}}', NOT_A_STRING),
            refused('{"type":"%s%n%d"}', NO_PARAMS),
            refused("\xEF\xBB\xBF{}", NO_TYPE),
            refused(nested(512), BAD_FORMAT),
            # The text ends at its first zero byte: anything after it but zero bytes and
            # blanks, however far, would be left out without a word.
            Refused(CUE[:-2] + '"t":"Breaking\0   \nNews"}}', ZERO_BYTE.format(41)),
            Refused(CUE + "\0" + " " * 70000 + "x", ZERO_BYTE.format(len(CUE))),
        ]:
            peer = Peer()
            # A command sent by mistake meets a silent server: sped up, it ends at once.
            run = client(peer.port, row.file, clock=None if HOST_CLOCK else FAST)
            self.expect(run, row.message, -10)
            self.expect_received(peer, "")

    @needs_faketime
    def test_64_mib_are_read_and_more_is_refused(self):
        padded = write(CUE + " " * ((64 << 20) - len(CUE)))
        for file, clock, output, status, sent in [
            (padded, FROZEN, STEPS + OK_LINE, 0, CUE_SENT),
            # Endless, and sped up: the limit must end it, not the five minutes.
            ("/dev/zero", SPED, "ERROR - JSON file is larger than 67108864 bytes\n", -6, ""),
        ]:
            peer = Peer(READ, send('{"status":"Ok"}'))
            run = Run(["127.0.0.1", peer.port, "1", file], clock, patience=60)
            self.expect_like(run, re.escape(output), status)
            self.expect_received(peer, sent)

    @needs_faketime
    def test_a_command_file_that_never_ends_is_given_up_after_five_minutes(self):
        fifo = files.name + "/fifo"
        os.mkfifo(fifo)  # without a writer
        silent, writer = os.pipe()
        for file, stdin in [(fifo, None), ("/dev/stdin", silent)]:
            peer = Peer()
            run = Run(["127.0.0.1", peer.port, "1", file], FAST, stdin=stdin, patience=5)
            self.expect(run, GIVEN_UP, -6)
            self.expect_received(peer, "")

    @needs_faketime
    def test_a_writer_that_never_stops_is_given_up_after_five_minutes(self):
        # A blank every 10 ms, so that no read waits its 100 ms for nothing; after half a second
        # the client's clock jumps ten minutes ahead.
        piped, into = os.pipe()
        stamp = write("+0")
        threading.Timer(0.5, os.replace, (write("+10m"), stamp)).start()
        stop = threading.Event()
        threading.Thread(target=trickle, args=(into, stop)).start()
        clock = dict(os.environ, FAKETIME_TIMESTAMP_FILE=stamp, FAKETIME_NO_CACHE="1")
        clock["LD_PRELOAD"] = os.environ["LARKWIRE_FAKETIME"]
        peer = Peer()
        run = Run(["127.0.0.1", peer.port, "1", "/dev/stdin"], stdin=piped, env=clock, patience=5)
        stop.set()
        self.expect(run, GIVEN_UP, -6)
        self.expect_received(peer, "")


def trickle(into, stop):  # a blank every 10 ms into the pipe, until stopped
    while not stop.wait(0.01):
        os.write(into, b" ")
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
        scte = '{"_id":"99863990","params":{"head_id":"1","layer_id":"50",'
        scte += '"time":17376768000000000},"type":"SCTE_SetMessage"}'
        deep = '{"_id":"3036000","deep":' + "[" * 511 + "]" * 511 + ',"params":{"head_id":"1",'
        stop = deep + '"layer_id":"2","time":17375940010990000},"type":"DSK_Stop"}'
        bom_crlf = '\xEF\xBB\xBF{\r\n"type":"SCTE_SetMessage",\r\n"params":{"time":"x"}\r\n}'
        payload = "p" * (8 << 20)  # more than a socket holds, and beyond the sim's 1 MiB
        large = CUE_SENT.replace('"head_id":"1"', '"blob":"' + payload + '","head_id":"1"')
        for row in [
            Sent("2", file, "2025-01-23 00:00:09.990", eject),
            # The last layer, a byte-order mark, CR LF line ends; a timed command's "time" replaced.
            Sent("99", bom_crlf, "2025-01-23 23:59:59", scte),
            # Zero bytes and blanks after the command change nothing.
            Sent("1", CUE + "\0\0 \t\r\n\0", FROZEN, CUE_SENT),
            Sent("3", nested(511, "DSK_Stop"), "2025-01-23 01:00:00.099", stop),
            Sent("1", CUE[:-2] + '"blob":"' + payload + '"}}', FROZEN, large),
            # Named outside the ANSI code page: Windows opens it by its UTF-16 name.
            Sent("1", CUE, FROZEN, CUE_SENT, name="\u65e5\u672c\U0001f3ac.json"),
        ]:
            peer = Peer(pause(0.2), READ, send('{"status":"Ok"}'))  # a server that reads late
            file = path(write(row.file, row.name))
            run = Run(["127.0.0.1", peer.port, row.layer, file], None if HOST_CLOCK else row.clock)
            self.expect_verdict(run, OK_LINE, 0)
            self.expect_request(run, peer.finish(), row.request)


# What the server does, the client's verdict, its clock and an OK's least elapsed time. Sped up,
# a verdict that waited for the five minutes would show.
Reply = namedtuple("Reply", "script verdict clock least_ms", defaults=(SPED, 100))
STATUS_OK = '"status":"Ok"'
NESTED = '{"layer":{"code":1,"status":"ok"},"status":"Error"}'  # a nested status never decides


class Answer(Table):
    def test_the_verdict_comes_as_soon_as_it_is_certain(self):
        for row in [
            Reply([send("{" + STATUS_OK + "}"), READ], OK_LINE),  # before the request
            Reply([READ, send('{"sta'), pause(0.3), send('tus":"Ok"}')], OK_LINE, least_ms=300),
            # Wherever the server's writes part an answer of objects, the verdict is the same.
            Reply([READ, send(NESTED[:14]), pause(0.15), send(NESTED[14:])], ERROR_LINE),
            # Only 1024 bytes are read; text that can no longer change is decided at once.
            Reply([READ, send(" " * (1024 - len(STATUS_OK)) + STATUS_OK)], OK_LINE),
            Reply([READ, send(" " * (1025 - len(STATUS_OK)) + STATUS_OK)], NO_ANSWER_LINE),
            Reply([READ, send('{"result":"Ok"}'), CLOSE], NO_ANSWER_LINE),
            # No verdict, the connection open: the wait ends when the five minutes have passed.
            Reply([READ, send('{"status":"OK"}{"status":"Okay"}')], NO_ANSWER_LINE, FAST),
        ]:
            if HOST_CLOCK and row.clock == FAST:
                continue
            peer = Peer(*row.script)
            run = client(peer.port, PLAY, "3", None if HOST_CLOCK else row.clock)
            self.expect_verdict(run, row.verdict, row.least_ms)
            self.assertLess(run.seconds, 3, run.why)
            self.assertIn('"DSK_Play"', peer.finish())

    @needs_faketime
    def test_a_server_that_goes_or_never_reads_while_the_request_is_sent_ends_the_run(self):
        file = write(CUE[:-2] + '"blob":"' + "b" * (16 << 20) + '"}}')
        for script, clock, errors in [
            ([pause(0.3), RESET], None, "(32|104)"),
            ([pause(3)], FAST, "110"),  # the send's five minutes pass before it reads
        ]:
            peer = Peer(*script)
            run = Run(["127.0.0.1", peer.port, "1", file], clock, patience=60)
            self.expect_like(run, f"{STEPS[:37]}   !!! send error {errors}\n\\Z", -11)
            peer.finish()

    @native_only
    def test_a_closed_or_unread_standard_output_leaves_the_request_and_the_verdict_intact(self):
        sent = r'^\{"_id":"1\d{6}","params":\{"head_id":"1","layer_id":"1"\},"type":"DSK_Cue"\}$'
        for standard_output in [" >&-", " | true"]:  # closed, or a pipe whose reader has gone
            peer = Peer(pause(0.2), send('{"status":"Ok"}'))
            run = f"{shlex.quote(CLIENT)} 127.0.0.1 {peer.port} 1 {shlex.quote(write(CUE))}"
            for command in [run, shlex.quote(SIM) + " --version"]:
                shell = ["bash", "-o", "pipefail", "-c", command + standard_output]
                self.assertEqual(subprocess.run(shell, timeout=PATIENCE).returncode, 0, command)
            self.assertRegex(peer.finish(), sent)


# The sim's options, the command, the client's verdict and clock, and an OK's least elapsed time.
Mode = namedtuple("Mode", "options command verdict clock least_ms", defaults=(None, 0))
UNKNOWN = '{"type":"DSK_Pause","params":{}}'  # sent as it is; the sim does not know it
TIME_MISSING = '"params"."time" should be an integer for a timed command'
LAYER_ID_WRONG = '"params"."layer_id" should be the string "2" for layer 3'
UNKNOWN_TYPE = '"type" is not a known command type'
C1_TYPE = "DSK_Pause\\u0085\\u202e"  # what a terminal would act on: shown escaped


class Sim(Table):
    def test_each_answer_mode_gives_the_client_its_outcome(self):
        for row in [
            Mode("", PLAY, OK_LINE),
            Mode("--answer ok", UNKNOWN, OK_LINE),
            Mode("--answer error", PLAY, ERROR_LINE),
            Mode("--answer none", PLAY, NO_ANSWER_LINE, clock=FAST),
            Mode("--answer close", PLAY, NO_ANSWER_LINE, clock=SPED),
            # Not under Wine: its recv gives 0.
            Mode("--answer reset", PLAY, "   !!! send error 104\n"),
            Mode("--split --delay 0200", PLAY, OK_LINE, least_ms=700),  # decimal, not octal
        ]:
            if HOST_CLOCK and row.clock == FAST or WINE and "reset" in row.options:
                continue
            sim = SimProcess(*row.options.split())
            run = client(sim.port, row.command, "7", None if HOST_CLOCK else row.clock)
            self.expect_verdict(run, row.verdict, row.least_ms)
            self.assertLess(run.seconds, 3, run.why)
            sim.stop()

    def test_an_answer_plan_plays_one_mode_a_request_and_keeps_the_last(self):
        sim = SimProcess("--answer", "ok,error")
        sim.connect().close()  # no request, so no turn of the plan
        self.expect_verdict(client(sim.port, UNKNOWN), OK_LINE)
        self.expect_verdict(client(sim.port, CUE), ERROR_LINE)
        self.expect_verdict(client(sim.port, CUE), ERROR_LINE)
        sim.stop()

    def test_a_log_write_that_fails_is_told_once_and_leaves_whole_lines(self):
        sim = SimProcess(limit="--fsize=2000")
        for command in [CUE[:-2] + '"clip":"' + "x" * 3000 + '"}}', CUE, CUE]:
            self.expect_verdict(client(sim.port, command), OK_LINE)  # service goes on
        self.assertEqual(len(sim.stop().entries), 2)  # the first not logged, the rest whole
        self.assertEqual(sim.output.count("can't write to the log file"), 1, sim.output)
        self.assertEqual(sim.output.count("writing to the log file"), 1, sim.output)

    def test_at_its_connection_cap_the_oldest_without_a_request_makes_room(self):
        sim = SimProcess(limit="--nofile=17")  # room for one connection
        with sim.connect() as silent:
            self.expect_verdict(client(sim.port, CUE), OK_LINE)
            self.assertEqual(silent.recv(16), b"")
        self.assertIn("larkwire-sim: 1 connection open, the most it keeps;", sim.stop().output)

    def test_every_example_is_accepted_and_progress_reaches_a_pipe_during_the_wait(self):
        sim = SimProcess("--delay", "1000")
        names = ["DskCue", "DskPlay", "DskContinue", "DskStop", "DskEject", "ScteSetMessage"]
        for layer, name in zip(range(1, 99, 17), names):
            example = path(os.path.join(HERE, "..", "examples", name + ".json"))
            command = [CLIENT, "127.0.0.1", sim.port, str(layer), example]
            process = subprocess.Popen(["wine"] * WINE + command, stdout=subprocess.PIPE)
            self.assertTrue(process.stdout.readline().startswith(b"Step 1/2"))
            time.sleep(0.5)
            self.assertIsNone(process.poll())  # the first line came while it still waited
            self.assertEqual(process.wait(PATIENCE), 0)
        self.assertEqual([entry["verdict"] for entry in sim.stop().entries], ["Ok"] * 6)

    @native_only
    def test_a_request_has_10_s_from_its_first_byte(self):
        # A client may read its command file for five minutes once it has connected: a command
        # from a slow pipe, sent later than 10 s, is served; a request begun and not ended within
        # 10 s is refused, and delays no other.
        sim = SimProcess()
        piped, into = os.pipe()
        threading.Timer(10.5, os.write, (into, CUE.encode())).start()
        threading.Timer(10.6, os.close, (into,)).start()
        with sim.connect() as slow:
            slow.sendall(b'{"_id":"1000000","params":{')
            self.expect_verdict(client(sim.port, CUE), OK_LINE)
            run = Run(["127.0.0.1", sim.port, "1", "/dev/stdin"], stdin=piped, patience=15)
            self.expect_verdict(run, OK_LINE)
            too_slow = b'"status":"Error","message":"no complete JSON value arrived within 10 s"}'
            self.assertEqual(slow.recv(4096), b'{"_id":"",' + too_slow)
        sim.stop()

    def test_bytes_after_a_complete_request_are_told_once(self):
        sim = SimProcess()
        eject = b'{"_id":"2000000","params":{"head_id":"2","layer_id":"1"},"type":"DSK_Eject"}'
        with sim.connect() as chatty:
            chatty.sendall(eject + b"\n\n")
            self.assertEqual(chatty.recv(4096), b'{"_id":"2000000","status":"Ok"}')
            chatty.sendall(b"\n")
            time.sleep(0.2)
        told = sim.stop().output.count(" sent more bytes after its request\n")
        self.assertEqual(told, 1, sim.output)

    def test_a_request_over_1_mib_is_refused_and_its_rest_let_go(self):
        sim = SimProcess()
        large = CUE[:-2] + '"a":"' + "b" * (2 << 20) + '"}}'
        self.expect_verdict(client(sim.port, large), ERROR_LINE)
        entry = sim.stop().entries[0]
        self.assertEqual(entry["reason"], "the request is larger than 1 MiB")
        self.assertTrue(entry["request_cut"])
        self.assertGreater(entry["request_bytes"], 1 << 20)  # what arrived
        self.assertNotIn("sent more bytes", sim.output)

    def test_requests_the_client_never_sends_are_judged_and_shown_as_they_are(self):
        sim = SimProcess()
        lines = []
        deep = "[" * 140000 + "]" * 140000  # a copy of it would take a stack frame a level
        for params, type, reason, shown in [
            ('"layer_id":"2"', "DSK_Play", TIME_MISSING, " time ahead -: Error - "),
            ('"layer_id":"2","time":-9223372036854775808', "DSK_Play", "", " time ahead -9"),
            ('"layer_id":"2","time":9223372036854775807', "DSK_Play", "", " time ahead +9"),
            ('"layer_id":' + deep, "DSK_Eject", LAYER_ID_WRONG, " (layer_id -, head_id 1) "),
            ('"layer_id":"2","a":' + "[" * 512 + "]" * 512, "DSK_Cue", "", " DSK_Cue _id "),
            ('"layer_id":"2"', C1_TYPE, UNKNOWN_TYPE, C1_TYPE + " _id "),
        ]:
            request = f'{{"_id":"3432000","params":{{"head_id":"1",{params}}},"type":"{type}"}}'
            with sim.connect() as raw:
                raw.sendall(request.encode())
                self.assertEqual(json.loads(raw.recv(4096)).get("message", ""), reason)
            lines.append(shown)
        # Logged as text, as dumping a request nested past 512 levels would recurse as deep.
        self.assertIsInstance(sim.stop().entries[4]["request"], str)
        for shown in lines:
            self.assertIn(shown, sim.output)

    @native_only
    def test_its_own_failures_say_so_and_end_non_zero(self):
        for options, status, told in [
            ("--listen 127.0.0.1:0 --log /none/r", 1, "can't open the log file /none/r"),
            ("--delay 0x400", 2, "--delay: the delay must be decimal digits"),
            ("--listen 127.0.0.1:55556", 2, "--listen: the port must be a number 0..55555"),
            ("--log ''", 2, "--log: name a file"),
            ("--split=3", 2, "split was given a disallowed flag override"),
        ]:
            run = subprocess.run([SIM, *shlex.split(options)], capture_output=True, timeout=5)
            self.assertEqual(run.returncode, status, options)
            self.assertIn(told, (run.stdout + run.stderr).decode())


if __name__ == "__main__":
    try:
        unittest.main(argv=sys.argv[:1] + sys.argv[3 + HOST_CLOCK :])
    finally:
        for process in SIMS:
            process.kill()
