"""A test host program driven over stdin: it prints "ready" once it is up, takes one
command a line and answers each with "done"; closing stdin ends it."""
import queue, subprocess, threading

WAIT = 15


class ScriptedHost:
    def __init__(self, argv, workdir, env):
        self.proc = subprocess.Popen(argv, cwd=workdir, env=env, text=True, encoding='utf-8',
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.expect('ready')

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip('\n'))

    def expect(self, wanted):
        """What the host printed before `wanted` (its dialogs' texts, what was asked for)."""
        before = []
        while (line := self.lines.get(timeout=WAIT)) != wanted:
            before.append(line)
        return before

    def command(self, text):
        self.proc.stdin.write(text + '\n')
        self.proc.stdin.flush()
        return self.expect('done')

    def close(self):
        self.proc.stdin.close()
        try:
            self.proc.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        self.proc.stdout.close()
