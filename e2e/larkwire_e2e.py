#!/usr/bin/env python3
# End-to-end tables: the built client against larkwire-sim, and against a
# scripted peer where the sim never behaves that way, all on 127.0.0.1. Every
# row checks the output byte for byte, the exit status, an empty standard error
# and the bytes the server received.
#
#   larkwire_e2e.py [--wine] CLIENT SIM [unittest arguments, e.g. a table name]
#
# --wine runs CLIENT (Larkwire.exe) under Wine: Winsock's error numbers, CR LF
# line ends folded, Z: paths, and no row that needs libfaketime. Natively the
# client runs in a zone far from UTC, so that a client reading local time fails.
# Texts are bytes spelt as Latin-1 throughout.
import calendar, json, os, pty, random, re, resource, select, signal, socket, subprocess, sys, tempfile, threading, time, unittest

WINE = sys.argv[1:2] == ['--wine']
CLIENT, SIM = sys.argv[1 + WINE:3 + WINE]
EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'examples')
ZONE = 'IST-5:30'
FAST = '+0 x1000'  # the five-minute limit passes in 0.3 s
SPED = '+0 x50'  # it passes in 6 s: a NO ANSWER well before that did not wait for it
PATIENCE = 120  # seconds: a client still running is killed, and the peer waits as long
os.environ['TZ'] = ZONE
time.tzset()
# A sanitized client's allocator reads the monotonic clock while it holds its
# lock; libfaketime, not yet set up at that moment, then allocates and the
# client deadlocks at start-up. Without the allocator's release timer it never
# reads that clock.
os.environ['ASAN_OPTIONS'] = os.environ.get('ASAN_OPTIONS', '') + ':allocator_release_to_os_interval_ms=-1'
WINSOCK = {'111': '10061', '104': '10054', '32': '10053'}
STEPS = 'Step 1/2: send command to layer N...\nStep 2/2: wait answer for the command...\n'
OK, ERROR = '   OK answer detected.\n', '   ERROR answer detected.\n'
NO_ANSWER = '   !!! ERROR - NO ANSWER in 5 minutes !!!\n'
FROZEN_OK = STEPS + OK + 'Finish OK elapsed times(ms): 0\n'
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'usage.txt')) as usage:
    USAGE = usage.read()  # byte for byte
CUE, PLAY = '{"type":"DSK_Cue","params":{}}', '{"type":"DSK_Play","params":{"clip":"news"}}'
READ, HALF, CLOSE, RESET = ('read',), ('half',), ('close',), ('reset',)
send, pause = (lambda text: ('send', text)), (lambda seconds: ('pause', seconds))
files, SIMS = tempfile.TemporaryDirectory(prefix='larkwire-e2e-'), []


def path(host_path):  # as the client is given it
    return 'Z:' + host_path.replace('/', '\\') if WINE else host_path


def write(text, name=None):
    with open(os.path.join(files.name, name or str(len(os.listdir(files.name)))), 'wb') as f:
        f.write(text.encode('latin-1'))
    return f.name


def frozen(utc):  # libfaketime reads a frozen instant in the local zone
    seconds, dot, fraction = utc.partition('.')
    moment = time.localtime(calendar.timegm(time.strptime(seconds, '%Y-%m-%d %H:%M:%S')))
    return time.strftime('%Y-%m-%d %H:%M:%S', moment) + dot + fraction


def complete(data):  # the request has no terminator: it ends where one JSON value does
    try:
        return data.endswith(b'}') and json.loads(data) is not None
    except ValueError:
        return False


def free_socket(listen=True):  # the client takes ports 1..55555; ephemeral ones may lie above
    for _ in range(200):
        s = socket.socket()
        try:
            s.bind(('127.0.0.1', random.randrange(20000, 55556)))
        except OSError:
            s.close()
            continue
        if listen:
            s.listen(128)
        return s
    raise RuntimeError('no free port')


# Plays one script on the first connection and records what it receives; unless
# the script closes, it reads on until the client closes.
class Peer:
    def __init__(self, *script):
        self.listener, self.data, self.connections, self.stopping = free_socket(), bytearray(), 0, False
        self.port = str(self.listener.getsockname()[1])
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
            elif step[0] == 'send':
                connection.sendall(step[1].encode('latin-1'))
            elif step[0] == 'pause':
                time.sleep(step[1])
            elif step == HALF:
                connection.shutdown(socket.SHUT_WR)
            else:  # close, or reset: a zero linger time makes the close abortive
                connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, bytes([step == RESET, 0, 0, 0, 0, 0, 0, 0]))
                return
        while self.receive(connection):
            pass

    def receive(self, connection):
        try:
            piece = connection.recv(1 << 16)
        except OSError:
            return False
        self.data += piece
        return piece != b''

    @property
    def received(self):
        return self.data.decode('latin-1')

    def finish(self):
        self.stopping = True
        self.thread.join()
        self.listener.close()
        return self


class SimProcess:  # larkwire-sim on a free port of its choosing, with its request log
    def __init__(self, *options, log=None, files=None):  # files: its descriptor limit
        self.directory = tempfile.TemporaryDirectory(prefix='larkwire-sim-')
        self.log = log or os.path.join(self.directory.name, 'requests.jsonl')
        limit = files and (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (files, files)))
        self.process = subprocess.Popen([SIM, '--listen', '127.0.0.1:0', '--log', self.log, *options], preexec_fn=limit,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, encoding='latin-1')
        SIMS.append(self.process)
        self.output = self.process.stdout.readline()
        self.port = re.search(r'listening on 127\.0\.0\.1:(\d+),|$', self.output)[1]  # port 0 gives one the client takes
        if not self.port:
            raise RuntimeError('larkwire-sim did not start: ' + self.output + self.process.communicate()[0])
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
        with open(self.log if os.path.isfile(self.log) else os.devnull, encoding='utf-8') as log:
            self.entries = [json.loads(line) for line in log]
        for entry in self.entries:  # a request that parses is logged as its value: compact, it is what arrived
            entry['request'] = json.dumps(entry['request'], ensure_ascii=False, separators=(',', ':')).encode('utf-8').decode('latin-1')
        self.directory.cleanup()
        return status


class Run:  # one run of the client: output, status, standard error and timing
    def __init__(self, arguments, clock=None, keep_open=(), **popen):  # popen: stdin, preexec_fn
        command = (['wine'] if WINE else []) + [CLIENT, *arguments]
        if clock:
            command = ['faketime', '-f', clock if clock.startswith('+') else frozen(clock)] + command
        self.began, started = time.time_ns() // 100, time.monotonic()
        # In a group of its own: a hanging client fails its row, never the suite, even under the faketime wrapper.
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, pass_fds=keep_open, start_new_session=True, **popen)
        killer = threading.Timer(PATIENCE, os.killpg, (process.pid, signal.SIGKILL))
        errors = threading.Thread(target=self.read_errors, args=(process,))
        killer.start()
        errors.start()
        output, self.arrivals = b'', []
        while piece := os.read(process.stdout.fileno(), 1 << 16):
            output += piece
            self.arrivals.append((time.monotonic(), len(output)))
        self.status, self.seconds, self.ended = process.wait() % 256, time.monotonic() - started, time.time_ns() // 100
        killer.cancel()
        errors.join()
        process.stdout.close()
        self.output = output.decode('latin-1')
        self.bare_line_feeds = len(re.findall('(?<!\r)\n', self.output)) if WINE else 0  # stdout is in text mode
        self.output = self.output.replace('\r\n', '\n') if WINE else self.output
        self.why = f'\n{arguments}\noutput: {self.output!r}\nstderr: {self.errors!r}'

    def read_errors(self, process):
        with process.stderr:
            self.errors = process.stderr.read().decode('latin-1')

    def seconds_from_output_to_exit(self, text):
        end = self.output.find(text) + len(text)
        end += self.output[:end].count('\n') * WINE  # the CRs folded away
        return self.arrivals[-1][0] - next(at for at, size in self.arrivals if size >= end)


class Table(unittest.TestCase):
    def expect(self, run, output, status, peer=None, received=None):
        # output: the text, a compiled pattern, or an int: the OK lines with at least that elapsed time.
        if isinstance(output, int):
            elapsed = re.fullmatch(re.escape(STEPS + OK) + r'Finish OK elapsed times\(ms\): (\d+)\n', run.output)
            self.assertTrue(elapsed and int(elapsed[1]) >= output, run.why)
        elif isinstance(output, str):
            self.assertEqual(run.output, re.sub(r'(ERROR=|send error )(\d+)', lambda m: m[1] + WINSOCK.get(m[2], m[2]),
                                                output) if WINE else output, run.why)
        else:
            self.assertRegex(run.output, output, run.why)
        self.assertEqual((run.status, run.errors, run.bare_line_feeds), (status, '', 0), run.why)
        if peer:
            peer.finish()
            self.assertEqual(peer.connections, 0 if received is None else 1, run.why)
            self.assertEqual(peer.received, received or '', run.why)

    def expect_outcome(self, run, outcome):  # the OK lines with at least this elapsed time, or the line ending the wait
        self.expect(run, outcome, 0) if isinstance(outcome, int) else self.expect(run, STEPS + outcome, 244)

    def expect_request(self, run, received, request):
        # Natively the clock is frozen; under Wine, Windows' own clocks must fall within the run.
        if WINE:
            layer, tenth = divmod(int(re.search(r'"_id":"(\d+)"', received)[1]), 1000000)
            self.assertIn(tenth, [t // 1000000 % 864000 for t in range(run.began, run.ended + 1000000, 1000000)])
            self.assertEqual(str(layer), re.search(r'"_id":"(\d+)\d{6}"', request)[1])
            request = re.sub(r'"_id":"\d+"', re.search(r'"_id":"\d+"', received)[0], request)
            time_value = re.search(r'"time":(\d+)', received)
            if time_value:
                self.assertTrue(run.began <= int(time_value[1]) - 10000000 <= run.ended, time_value[0])
                request = re.sub(r'"time":\d+', time_value[0], request)
        self.assertEqual(received, request, run.why)


def native_only(test):
    return unittest.skipIf(WINE, 'needs libfaketime, or Wine differs from Windows here')(test)


class Arguments(Table):
    def test_any_count_but_four_prints_the_usage(self):
        for count in (0, 3, 5):
            peer = Peer()
            self.expect(Run(['127.0.0.1', peer.port, '1', path(write(CUE)), 'extra'][:count]), USAGE, 255, peer)

    def test_port_and_layer_out_of_range_end_before_any_connection(self):
        big, small = '99999999999', '-99999999999'  # clamped to the 32-bit bounds, never wrapped
        for port, layer, shown in [('0', '1', 0), ('55556', '1', 55556), ('65535', '1', 65535), ('abc', '1', 0), ('-1', '1', -1),
                                   (big, '1', 2**31 - 1), (small, '1', -2**31), ('4294967297', '1', 2**31 - 1), ('0', '0', 0),
                                   (None, '0', 0), (None, '100', 100), (None, 'x', 0), (None, big, 2**31 - 1), (None, small, -2**31)]:
            with self.subTest(port=port, layer=layer):
                peer = Peer()
                message = f'Bad port number {shown} (must be 1..55555)' if port else f'Bad layer number {shown} (must be 1..99)'
                self.expect(Run(['127.0.0.1', port or peer.port, layer, path(write(CUE))]), message, 254 if port else 253, peer)

    def test_a_refused_connect_names_the_address_as_typed(self):
        with free_socket(listen=False) as bound:  # nobody listens there
            port = str(bound.getsockname()[1])
            self.expect(Run(['127.0.0.1', port + 'abc', '1', 'c.json']), f'ERROR: connect(127.0.0.1:{port}) ERROR=111\n', 251)
        # A host name is not looked up, and only four decimal numbers are an address: the connect goes to the
        # all-ones address, not to the listener.
        peer = Peer()
        for host in ['localhost', '127.1', '127.0.0.01', '0x7f.0.0.1']:
            self.expect(Run([host, peer.port, '1', 'c.json']), re.compile(rf'ERROR: connect\({host}:{peer.port}\) ERROR=\d+\n'), 251)
        self.assertEqual(peer.finish().connections, 0)

    def test_a_file_that_does_not_open_is_told_after_the_connect(self):
        for file, port in [('/nonexistent/c.json', ' +{}'), ('/nonexistent/c.json', '{}abc'), (files.name, ' +{}')]:
            with self.subTest(file=file, port=port):
                peer = Peer()
                self.expect(Run(['127.0.0.1', port.format(peer.port), '1', path(file)]), "Can't open JSON file", 250, peer, '')


def nested(depth, type='DSK_Cue'):
    return '{"type":"' + type + '","params":{},"deep":' + '[' * (depth - 1) + ']' * (depth - 1) + '}'


class Command(Table):
    def test_a_refused_command_prints_its_one_message_and_sends_nothing(self):
        bad, no_type, no_params = "' has bad format.\n", "' has not parameter 'type'.\n", "' has not parameter 'params'.\n"
        every_byte = ''.join(map(chr, range(256)))
        for file, quoted, complaint, profile in [
                ('', '', bad, None), ('{"type":"DSK_Cue",\n"params":{}} {}\n', None, bad, None), ('{"params":{}}\n', None, no_type, None),
                ('{"type":1}', None, no_params, None), ('{"type":1,"params":[]}', None, "' has bad format for parameter 'params'.\n", None),
                ('{"type":"%s%n%d"}', None, no_params, None), (nested(513), None, bad, None), ('\xEF\xBB\xBF{}', None, no_type, None),
                ('{"type":"DSK_Cue","params":{"a":' + '[' * 100000 + ']' * 100000 + '}}', None, bad, None),
                ('[{"type":"A","params":{}}]', None, bad, None), ('{"type":"DSK_Cue","params":{"clip":"\xFF\xFE"}}', None, bad, None),
                ('{"type":"DSK_Cue","params":{"clip":"\\ud800"}}', None, bad, None), ('{"type":"\xE2\x82"}', None, bad, None),
                # A zero byte cuts the rest of its line (at most 1023 bytes); reading goes on.
                (every_byte, every_byte[11:], bad, 'native'), ('a' * 10 + '\0' + 'a' * 1989, 'a' * 987, bad, None),
                # ... and where it would cut away more than blanks, the command is refused: it would change without a word.
                ('{"type":"DSK_Cue","params":{"clip":"news"\0,"loop":true\n}}\n', '{"type":"DSK_Cue","params":{"clip":"news"}}\n', bad, None),
                # Text mode on Windows: CR LF arrives as LF, and Ctrl-Z ends the text.
                ('{\r\n"params":{}\r\n}\r\n', '{\n"params":{}\n}\n', no_type, 'wine'),
                ('{"type":"DSK_Cue"}\x1A{"params":{}}\n', '{"type":"DSK_Cue"}', no_params, 'wine'),
                ('{"type":5,"params":{}}', "Unexpected error on parse JSON '{\"type\":5,\"params\":{}}' ERROR=302, [json.exception."
                 'type_error.302] type must be string, but is number\n', '', None)]:
            if profile in (None, 'wine' if WINE else 'native'):
                with self.subTest(file=file[:60]):
                    peer = Peer()
                    message = quoted + complaint if complaint == '' else "ERROR - JSON '" + (quoted or file) + complaint
                    self.expect(Run(['127.0.0.1', peer.port, '1', path(write(file))]), message, 246, peer, '')

    @native_only
    def test_past_64_mib_or_the_memory_nothing_is_sent_and_pipes_serve(self):
        padded, (piped, into), head = CUE + ' ' * ((64 << 20) - len(CUE)), os.pipe(), '{"type":"DSK_Cue","params":{"v":'
        os.write(into, CUE.encode()), os.close(into)
        scarce = {'preexec_fn': lambda: resource.setrlimit(resource.RLIMIT_AS, (96 << 20, 96 << 20))}
        # A 40 MiB text fits in 96 MiB, the parser's copy of its string does not; four million values need memory to be freed.
        # A sanitized client's shadow memory takes no address-space limit.
        for file, popen, output, status in [(write(padded), {}, FROZEN_OK, 0), ('/dev/stdin', {'stdin': piped}, FROZEN_OK, 0)] + [
                (file, {}, 'ERROR - JSON file is larger than 67108864 bytes\n', 250) for file in (write(padded + ' '), '/dev/zero')] + [
                (write(head + text + '}}'), scarce, 'ERROR - out of memory for the command, nothing sent\n', 245)
                for text in ('"' + 'b' * (40 << 20) + '"', '[0' + ',0' * 4000000 + ']')] * (os.environ.get('LARKWIRE_SANITIZED') != '1'):
            peer = Peer(READ, send('{"status":"Ok"}'))
            run = Run(['127.0.0.1', peer.port, '1', file], None if popen == scarce else '2025-01-23 12:00:00', **popen)
            self.expect(run, output, status, peer, '' if status else '{"_id":"1432000","params":{"head_id":"1","layer_id":"1"},'
                        '"type":"DSK_Cue"}')
        os.close(piped)


    @native_only
    def test_a_command_file_that_never_ends_is_given_up_after_five_minutes_and_nothing_is_sent(self):
        fifo, (silent, unused), (terminal, unused) = os.path.join(files.name, 'fifo'), os.pipe(), pty.openpty()
        os.mkfifo(fifo)
        for file, popen in [(fifo, {}), ('/dev/stdin', {'stdin': silent}), ('/dev/stdin', {'stdin': terminal})]:
            with self.subTest(file=file, popen=popen):
                peer = Peer()
                self.expect(Run(['127.0.0.1', peer.port, '1', file], FAST, **popen), 'ERROR - JSON file did not end within 5 minutes\n', 250, peer, '')


class Request(Table):
    def test_a_command_file_named_outside_the_ansi_code_page_opens(self):
        for name in ['\u65e5\u672c.json', '\U0001f3ac.json']:
            with self.subTest(name=name):
                peer = Peer(READ, send('{"status":"Ok"}'))
                file = write(CUE, name)
                run = Run(['127.0.0.1', peer.port, '5', path(file)], None if WINE else '2025-01-23 12:00:00')
                self.expect(run, 100 if WINE else FROZEN_OK, 0)
                self.expect_request(run, peer.finish().received, '{"_id":"5432000","params":{"head_id":"1","layer_id":"3"},"type":"DSK_Cue"}')


    def test_valid_commands_arrive_completed_compact_and_sorted(self):
        for layer, file, clock, request in [
                # Timed: "time" is UTC in 100 ns units, one second ahead.
                ('4', '{\n  "type": "DSK_Play",\n  "params": {}\n}\n', '2025-01-23 12:00:00',
                 '{"_id":"4432000","params":{"head_id":"2","layer_id":"2","time":17376336010000000},"type":"DSK_Play"}'),
                # Tenths truncated (libfaketime gives .990 exactly); written members replaced, others kept and sorted.
                ('2', '{"type": "DSK_Eject", "_id": 5, "extra": [1, 2.50, null, 18446744073709551615, -9223372036854775808],'
                 ' "Z": 1, "\xC3\xA9": "\\u00e9\\/\\"\\u0001",\n "params": {"layer_id": 7, "Name": "A b", "_id": "x",'
                 ' "head_id": null, "time": "keep"}}', '2025-01-23 00:00:09.990',
                 '{"Z":1,"_id":"2000099","extra":[1,2.5,null,18446744073709551615,-9223372036854775808],"params":{"Name":"A b",'
                 '"_id":"x","head_id":"2","layer_id":"1","time":"keep"},"type":"DSK_Eject","\xC3\xA9":"\xC3\xA9/\\"\\u0001"}'),
                # The last layer, a byte-order mark, CR LF line ends; a timed command's "time" string replaced.
                ('99', '\xEF\xBB\xBF{\r\n"type":"SCTE_SetMessage",\r\n"params":{"time":"x"}\r\n}\r\n', '2025-01-23 23:59:59',
                 '{"_id":"99863990","params":{"head_id":"1","layer_id":"50","time":17376768000000000},"type":"SCTE_SetMessage"}'),
                ('1', CUE, '1969-12-31 23:00:00', '{"_id":"1828000","params":{"head_id":"1","layer_id":"1"},"type":"DSK_Cue"}'),
                # Zero bytes that only pad a line's end change nothing.
                ('1', '{"type":"DSK_Cue",\0\0 \t\n"params":{}}\0\n\0', '2025-01-23 12:00:00',
                 '{"_id":"1432000","params":{"head_id":"1","layer_id":"1"},"type":"DSK_Cue"}'),
                ('3', nested(512, 'DSK_Stop'), '2025-01-23 01:00:00.099', '{"_id":"3036000","deep":' + '[' * 511 + ']' * 511 +
                 ',"params":{"head_id":"1","layer_id":"2","time":17375940010990000},"type":"DSK_Stop"}')]:
            with self.subTest(layer=layer, clock=clock):
                sim = SimProcess()
                run = Run(['127.0.0.1', sim.port, layer, path(write(file))], None if WINE else clock)
                self.assertEqual((sim.stop(), [(e['verdict'], e['request_bytes']) for e in sim.entries]), (0, [('Ok', len(request))]))
                self.assertNotIn('sent more bytes', sim.output)
                self.expect_request(run, sim.entries[0]['request'], request)
                self.expect(run, 100 if WINE else FROZEN_OK, 0)

    def test_a_large_request_arrives_whole_at_a_server_that_reads_late(self):
        payload = 'p' * (8 << 20)  # beyond the sim's 1 MiB
        peer = Peer(pause(0.5), READ, send('{"_id":"1","status":"Ok"}'))
        file = write('{"type":"DSK_Cue","params":{"blob":"' + payload + '"}}')
        run = Run(['127.0.0.1', peer.port, '2', path(file)], None if WINE else '2025-01-23 12:00:00')
        self.expect(run, 100 if WINE else FROZEN_OK, 0)
        self.expect_request(run, peer.finish().received, '{"_id":"2432000","params":{"blob":"' + payload +
                            '","head_id":"2","layer_id":"1"},"type":"DSK_Cue"}')


class Answer(Table):
    def test_the_answer_words_decide(self):
        words, garbage = '"status":"Ok"', ''.join(map(chr, range(1, 256))).replace('"', '')
        split = '{"layer":{"status":"busy"},"ok":false,"status":"Error"}'
        for script, outcome in [
                ((READ, send('{"_id":"3000000","status":"Ok"}')), 100), ((READ, send('{"status":"ok"}')), 100),
                ((READ, send('{"status":"Error","message":"unknown clip","ok":false}')), ERROR),
                ((READ, send('{"status":"Error","message":"unknown clip"}')), ERROR), ((READ, send('{"status":"error"}')), ERROR),
                ((send('{' + words + '}'), READ), 100), ((READ, send(' ' * (1024 - len(words)) + words)), 100),
                ((READ, send('{' + words + '}\0junk')), 100), ((READ, send('{"sta'), pause(0.3), send('tus":"Ok"}')), 300),
                # The answer's own status decides, not a nested one, wherever the server's writes part it.
                ((READ, send('{"detail":{"status":"ok"},"status":"Error"}')), ERROR),
                ((READ, send(split[:37]), pause(0.3), send(split[37:])), ERROR),
                ((READ, send(split[:14]), pause(0.15), send(split[14:40]), pause(0.15), send(split[40:50]), pause(0.15), send(split[50:])), ERROR),
                # A text that can no longer change (full, a zero byte, the server closed) is decided at once.
                ((READ, send('{"ok":true,' + ' ' * 1002 + '"status":"O'), pause(0.3), send('k"}')), 100),
                ((READ, send('{"result":"Ok"}'), CLOSE), NO_ANSWER), ((READ, send('{"status":"pending"'), HALF), NO_ANSWER),
                ((READ, send('{\0' + words)), NO_ANSWER), ((READ, send(' ' * (1025 - len(words)) + words)), NO_ANSWER),
                ((READ, send('x' * (1 << 20) + '{' + words + '}'), CLOSE), NO_ANSWER),
                ((READ, send(garbage), pause(0.15), send('\0{' + words + '}')), NO_ANSWER),
                # No verdict, the connection open: the wait ends after five minutes.
                ((READ, send('{"status":"OK"}')), FAST), ((READ, send(garbage * 4)), FAST)]:
            if outcome != FAST or not WINE:
                with self.subTest(script=str(script)[:80]):
                    peer = Peer(*script)
                    clock = outcome if outcome == FAST else SPED if outcome == NO_ANSWER and not WINE else None
                    run = Run(['127.0.0.1', peer.port, '3', path(write(PLAY))], clock)
                    self.expect_outcome(run, NO_ANSWER if outcome == FAST else outcome)
                    self.assertLess(run.seconds, 3 if outcome == NO_ANSWER and not WINE else 30, run.why)
                    self.assertTrue(complete(peer.finish().data) and '"DSK_Play"' in peer.received, peer.received)

    @native_only
    def test_a_server_that_goes_or_never_reads_while_the_request_is_sent_ends_the_run_without_a_signal(self):
        file = write('{"type":"DSK_Cue","params":{"blob":"' + 'b' * (16 << 20) + '"}}')
        for script, clock, errors in [((pause(0.3), RESET), None, '(32|104)'), ((pause(0.3), HALF, pause(0.1), CLOSE), None, '(32|104)'),
                                      ((pause(3),), FAST, '110')]:  # the send's five minutes pass before it reads
            with self.subTest(script=script):
                peer = Peer(*script)
                self.expect(Run(['127.0.0.1', peer.port, '1', file], clock), re.compile(STEPS[:37] + f'   !!! send error {errors}\n$'), 245)
                peer.finish()

    @native_only  # libfaketime's own descriptor would fill a closed standard output
    def test_a_closed_or_unread_standard_output_leaves_the_request_the_verdict_and_the_sims_status_intact(self):
        for closed in (True, False):
            peer, (unread, gone) = Peer(pause(0.2), send('{"status":"Ok"}')), os.pipe()  # answered unasked: all sent is read
            os.close(unread)
            run, sim = [subprocess.run(c, stdout=gone, stderr=subprocess.PIPE, timeout=PATIENCE, preexec_fn=lambda: closed and os.close(1))
                        for c in ([CLIENT, '127.0.0.1', peer.port, '1', write(CUE)], [SIM, '--version'])]
            os.close(gone)
            self.assertRegex(f'{sim.returncode} {run.returncode} {run.stderr} {peer.finish().received}',
                             r'^0 0 b\'\' \{"_id":"1\d{6}","params":\{"head_id":"1","layer_id":"1"\},"type":"DSK_Cue"\}$')


class Sim(Table):
    def test_each_answer_mode_gives_the_client_its_outcome(self):
        unknown = '{"type":"DSK_Pause","params":{}}'  # sent as it is; the sim does not know the type
        for options, command, outcome, least, most in [
                ((), PLAY, 100, 0.1, 5), ((), unknown, ERROR, 0.1, 5), (('--answer', 'ok'), unknown, 100, 0.1, 5),
                (('--answer', 'error'), PLAY, ERROR, 0.1, 5), (('--answer', 'none'), PLAY, NO_ANSWER, 0.3, 30),
                (('--answer', 'close'), PLAY, NO_ANSWER, 0, 2), (('--delay', '1500'), PLAY, 1500, 1.5, 10),
                (('--answer', 'reset', '--delay', '200'), PLAY, '   !!! send error 104\n', 0.2, 5),
                (('--split',), PLAY, 500, 0.5, 5), (('--split', '--answer', 'error'), PLAY, ERROR, 0.5, 5),
                (('--delay', '01000'), PLAY, 1000, 1.0, 10)]:  # decimal, not octal
            # Wine's recv gives 0 at a reset, where Windows fails with 10054.
            if not WINE or 'none' not in options and 'reset' not in options:
                with self.subTest(options=options, command=command):
                    sim = SimProcess(*options)
                    clock = FAST if 'none' in options else SPED if 'close' in options and not WINE else None
                    run = Run(['127.0.0.1', sim.port, '7', path(write(command))], clock)
                    self.expect_outcome(run, outcome)
                    self.assertTrue(least <= run.seconds < most, f'{run.seconds} s{run.why}')
                    # The answer logged as sent.
                    self.assertEqual((sim.stop(), [re.sub(r'^\{"_id":"7\d{6}","status":"(\w+)".*', r'\1', e['sent']) for e in sim.entries]),
                                     (0, ['Ok' if isinstance(outcome, int) else 'Error' if outcome == ERROR else '']), sim.output)

    def test_an_answer_plan_plays_one_mode_per_request_then_its_last_stays_and_a_full_log_is_told_once(self):
        sim = SimProcess('--answer', 'ok,error,none', log='/dev/full')  # the log fails; service goes on
        for outcome in [0, ERROR, NO_ANSWER, NO_ANSWER][:4 - 2 * WINE]:
            self.expect_outcome(Run(['127.0.0.1', sim.port, '1', path(write(CUE))], FAST if outcome == NO_ANSWER else None), outcome)
        self.assertEqual((sim.stop(), sim.output.count("can't write to the log file /dev/full: No space left on device")), (0, 1))

    def test_a_log_past_the_file_size_limit_is_told_once_keeps_whole_lines_and_service_goes_on(self):
        limit = resource.getrlimit(resource.RLIMIT_FSIZE)
        resource.setrlimit(resource.RLIMIT_FSIZE, (1000, limit[1]))  # the sim's log takes 1000 bytes
        sim = SimProcess()
        resource.setrlimit(resource.RLIMIT_FSIZE, limit)
        for command in ['{"type":"DSK_Cue","params":{"clip":"' + 'x' * 1000 + '"}}', CUE, CUE]:  # the first entry does not fit
            self.expect_outcome(Run(['127.0.0.1', sim.port, '1', path(write(command))]), 0)
        self.assertEqual((sim.stop(), len(sim.entries), sim.output.count("can't write to the log file"), sim.output.count('sim: writing to the log file')),
                         (0, 2, 1, 1), sim.output)

    def test_every_example_is_accepted_and_progress_reaches_a_pipe_during_the_wait(self):
        sim = SimProcess('--delay', '1500')
        for layer, name in zip(range(1, 99, 17), ['DskCue', 'DskPlay', 'DskContinue', 'DskStop', 'DskEject', 'ScteSetMessage']):
            run = Run(['127.0.0.1', sim.port, str(layer), path(os.path.join(EXAMPLES, name + '.json'))])
            self.expect(run, 1500, 0)
            self.assertGreater(run.seconds_from_output_to_exit(STEPS), 1.0, run.why)
        self.assertEqual((sim.stop(), [entry['verdict'] for entry in sim.entries]), (0, ['Ok'] * 6), sim.output)
        self.assertIn(' DSK_Continue _id ', sim.output)

    @native_only
    def test_a_client_socket_numbered_above_the_select_limit_and_a_sim_full_of_silent_connections_work(self):
        resource.setrlimit(resource.RLIMIT_NOFILE, (4096, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
        taken, sim = [os.open(os.devnull, os.O_RDONLY) for _ in range(1500)], SimProcess(files=32)  # room for 16 connections
        silent = [socket.create_connection(('127.0.0.1', int(sim.port))) for _ in range(40)]  # the oldest make room
        run = Run(['127.0.0.1', sim.port, '6', os.path.join(EXAMPLES, 'DskEject.json')], keep_open=taken)
        self.expect(run, 100, 0)
        self.assertLess(run.seconds, 2)
        list(map(os.close, taken)), list(map(socket.socket.close, silent))
        self.assertEqual(sim.stop(), 0)

    def test_the_sim_reports_a_refusal_with_its_reason_and_a_connection_without_request(self):
        sim = SimProcess()
        self.expect(Run(['127.0.0.1', sim.port, '3', path(write('{"type":"DSK_Pause\\u0085\\u202e","params":{}}'))]), STEPS + ERROR, 244)
        self.expect(Run(['127.0.0.1', sim.port, '3', path(write('{}'))]), "ERROR - JSON '{}' has not parameter 'type'.\n", 246)
        self.assertTrue(sim.await_output(' closed the connection without sending a request\n'), sim.output)
        self.assertEqual(sim.stop(signal.SIGINT), 0)
        self.assertEqual([(e['verdict'], e['reason']) for e in sim.entries], [('Error', '"type" is not a known command type')])
        self.assertRegex(sim.output, r'listening on 127\.0\.0\.1:\d+, answer judge\n\d{4}-\d\d-\d\d [\d:.]{12} UTC 127\.0\.0\.1:'
                         r'\d+ layer 3 \(layer_id 2, head_id 1\) DSK_Pause\\u0085\\u202e _id 3\d{6} time ahead -: Error - "type" is not a '
                         r'known command type\n.* UTC 127\.0\.0\.1:\d+ closed the connection without sending a request\n'
                         r'larkwire-sim: stopped by signal 2\n$')

    def test_the_sim_alone(self):
        sim = SimProcess()
        connect = lambda: socket.create_connection(('127.0.0.1', int(sim.port)))
        with connect() as silent, connect() as chatty:
            silent.sendall(b'{"_id":"1000000","params":{')
            chatty.sendall(b'{"_id":"2000000","params":{"head_id":"2","layer_id":"1"},"type":"DSK_Eject"}')
            self.assertEqual(chatty.recv(4096), b'{"_id":"2000000","status":"Ok"}')
            chatty.sendall(b'\n')  # a silent one delays no other, and bytes after the request are reported
            self.assertTrue(sim.await_output(' sent more bytes after its request\n'), sim.output)
            run = Run(['127.0.0.1', sim.port, '2', path(os.path.join(EXAMPLES, 'DskCue.json'))])
            self.expect(run, 100, 0)
            self.assertLess(run.seconds, 2)
            silent.settimeout(15)
            self.assertEqual(silent.recv(4096), b'{"_id":"","status":"Error","message":"no complete JSON value arrived within 10 s"}')
        with connect() as large:
            sender = threading.Thread(target=large.sendall, args=(b'{"blob":"' + b'b' * (1 << 20) + b'"}',))
            sender.start()
            self.assertEqual(large.recv(4096), b'{"_id":"","status":"Error","message":"the request is larger than 1 MiB"}')
            large.shutdown(socket.SHUT_RDWR)
            sender.join()
        self.assertEqual((sim.stop(), [e['verdict'] for e in sim.entries], sim.entries[-1]['request'], sim.entries[-1]['request_cut']),
                         (0, ['Ok', 'Ok', 'Error', 'Error'], json.dumps('{"blob":"' + 'b' * 4087), True), sim.output)  # 4096 bytes

    def test_a_connection_silent_for_10_s_is_no_request_and_takes_no_turn_of_the_answer_plan(self):
        sim = SimProcess('--answer', 'error,ok')
        with socket.create_connection(('127.0.0.1', int(sim.port))) as silent:
            silent.settimeout(15)
            self.assertEqual(silent.recv(4096), b'')  # closed, unanswered
        self.expect_outcome(Run(['127.0.0.1', sim.port, '1', path(write(CUE))]), ERROR)
        self.assertEqual(sim.stop(), 0)
        self.assertRegex(sim.output, r'\n[\d-]+ [\d:.]+ UTC 127\.0\.0\.1:\d+ sent nothing within 10 s and was closed\n')

    @native_only
    def test_its_own_failures_say_so_and_end_non_zero(self):
        with free_socket() as taken:
            where = '127.0.0.1:' + str(taken.getsockname()[1])
            for given, told in [(('--listen', where), f"1 larkwire-sim: can't listen on {where}: the port is in use by another program\n"),
                    (('--listen', '203.0.113.9:4002'), '1 larkwire-sim: warning: 203.0.113.9 is not a loopback address; the sim has no '
                     "authentication, and anyone who reaches the port can send it requests\nlarkwire-sim: can't listen on 203.0.113.9:"
                     '4002: Cannot assign requested address\n'), (('--version',), f'0 larkwire-sim {os.environ["LARKWIRE_VERSION"]}\n'),
                    (('--listen', '127.0.0.1:0', '--log', '/nonexistent/r.jsonl'), "1 larkwire-sim: can't open the log file "
                     '/nonexistent/r.jsonl: No such file or directory\n')] + [(bad, None) for bad in [
                        ('--answer', 'maybe'), ('--answer', 'ok,,error'), ('--listen', '127.0.0.1'), ('--listen', '127.0.0.1:65536'),
                        ('--listen', 'localhost:4002'), ('--delay', '-1'), ('--log', '-'), ('--frobnicate',), ('stray',),
                        ('--delay', '0x400')]]:
                run = subprocess.run([SIM, *given], capture_output=True, encoding='latin-1', timeout=10)
                out = f'{run.returncode} {run.stdout}{run.stderr}'  # a bad option: one line naming it and where help is
                self.assertTrue(out == told if told else re.fullmatch(f'2 larkwire-sim: .*{given[0]}.*\\(see larkwire-sim --help\\)\n',
                                                                      out), out)


class Crowd(Table):  # alone: a hundred clients at once need the machine's memory to themselves
    @native_only
    def test_a_hundred_clients_at_once_are_all_answered_and_logged_once(self):
        sim, runs = SimProcess(), {}
        file = os.path.join(EXAMPLES, 'DskPlay.json')
        # Each with a second of its own, so that two on one layer send different ids.
        threads = [threading.Thread(target=lambda i=i: runs.update({i: Run(['127.0.0.1', sim.port, str(i % 99 + 1), file],
                                                                           f'2025-01-23 12:{i // 60:02}:{i % 60:02}')}))
                   for i in range(100)]
        list(map(threading.Thread.start, threads))
        list(map(threading.Thread.join, threads))
        for run in runs.values():
            self.expect(run, FROZEN_OK, 0)
        self.assertEqual(sim.stop(), 0)
        ids = sorted(json.loads(entry['request'])['_id'] for entry in sim.entries if entry['verdict'] == 'Ok')
        self.assertEqual(ids, sorted(str((i % 99 + 1) * 1000000 + 432000 + i * 10) for i in range(100)))
        self.assertIn('time ahead -', sim.output)  # the far past is reported, not refused


if __name__ == '__main__':
    try:
        unittest.main(argv=sys.argv[:1] + sys.argv[3 + WINE:])
    finally:
        for process in SIMS:
            process.kill()
        files.cleanup()
