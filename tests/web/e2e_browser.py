#!/usr/bin/env python3
"""Real browsers in a real room: headless Chromium on the host's page, next to a
legacy participant that speaks raw GB2312 over TCP. Everything stays on 127.0.0.1."""

import os
import queue
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SKIP = 77  # CTest's SKIP_RETURN_CODE for this test
CHROMEDRIVER = '/usr/bin/chromedriver'
if not (shutil.which('chromium') and os.path.exists(CHROMEDRIVER)):
    print('skipped: Chromium or its driver is not installed')
    sys.exit(SKIP)

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

HOST_EXE = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else ''
WAIT = 15  # seconds for anything that crosses the room


def gb(text):
    return text.encode('gb2312')


def free_port_pair():
    """A room port whose + 1 is free too, as the host needs both."""
    for _ in range(50):
        with socket.socket() as s:
            s.bind(('127.0.0.1', 0))
            port = s.getsockname()[1]
        if port >= 65535:
            continue
        try:
            with socket.socket() as t:
                t.bind(('127.0.0.1', port + 1))
            return port
        except OSError:
            continue
    raise RuntimeError('no free pair of ports')


def until(what, timeout=WAIT, step=0.05):
    """Waits for a condition that no browser can tell: the raw peer's bytes."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        got = what()
        if got:
            return got
        time.sleep(step)
    raise AssertionError('timed out waiting')


class RawPeer:
    """A legacy participant: the room's TCP protocol, GB2312 bytes, nothing else."""

    def __init__(self, port, nickname):
        self.sock = socket.create_connection(('127.0.0.1', port), timeout=WAIT)
        self.sock.settimeout(0.05)
        self.received = b''
        until(lambda: self.read().startswith(b'&U'))
        self.received = b''
        self.sock.sendall(b'&U' + gb(nickname))
        until(lambda: b'&Y' in self.read())

    def read(self):
        try:
            chunk = self.sock.recv(65536)
            self.received += chunk
        except socket.timeout:
            pass
        return self.received

    def wait_for(self, wanted):
        until(lambda: wanted in self.read())

    def send(self, data):
        self.sock.sendall(data)

    def close(self):
        self.sock.close()


class DropProxy:
    """Stands between a browser and the web port, so a test can cut the browser's
    connections the way a lost network does while the host stays up. The gateway
    takes a WebSocket only from its own origin, so the handshake's Host and Origin
    are given the web port's number."""

    def __init__(self, target_port):
        self.target = target_port
        self.listener = socket.create_server(('127.0.0.1', 0))
        self.port = self.listener.getsockname()[1]
        self.live = []
        self.lock = threading.Lock()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                browser, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._open, args=(browser,), daemon=True).start()

    def _open(self, browser):
        head = b''
        while b'\r\n\r\n' not in head and len(head) < 16384:
            data = browser.recv(4096)
            if not data:
                browser.close()
                return
            head += data
        ours, theirs = b'127.0.0.1:%d' % self.port, b'127.0.0.1:%d' % self.target
        end = head.index(b'\r\n\r\n')
        head = head[:end].replace(ours, theirs) + head[end:]
        room = socket.create_connection(('127.0.0.1', self.target))
        room.sendall(head)
        with self.lock:
            self.live += [browser, room]
        for a, b in ((browser, room), (room, browser)):
            threading.Thread(target=self._pump, args=(a, b), daemon=True).start()

    @staticmethod
    def _pump(src, dst):
        try:
            while data := src.recv(65536):
                dst.sendall(data)
        except OSError:
            pass
        for s in (src, dst):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def drop(self):
        with self.lock:
            for s in self.live:
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
            self.live = []

    def close(self):
        self.drop()
        self.listener.close()


class Browser:
    def __init__(self, url, width=1280, height=800):
        options = webdriver.ChromeOptions()
        for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                    '--no-first-run', '--disable-extensions', '--disable-background-networking',
                    '--disable-component-update', '--disable-sync', '--lang=zh-CN'):
            options.add_argument(arg)
        self.d = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.size(width, height)
        self.d.get(url)

    def size(self, width, height):
        self.d.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': width < 600})

    def el(self, css):
        return self.d.find_element(By.CSS_SELECTOR, css)

    def wait(self, condition, timeout=WAIT):
        return WebDriverWait(self.d, timeout).until(lambda _: condition())

    def text(self, css):
        return self.el(css).text

    def join(self, nickname):
        self.wait(lambda: self.el('#nc1').is_displayed())
        self.el('#nc1').clear()
        self.el('#nc1').send_keys(nickname, Keys.ENTER)

    def joined(self, nickname):
        self.join(nickname)
        self.wait(lambda: self.d.find_elements(
            By.CSS_SELECTOR, '#list1 button[data-nickname="%s"]' % nickname))

    def choose(self, nickname):
        if self.el('#usersToggle').is_displayed():
            self.el('#usersToggle').click()
        self.el('#list1 button[data-nickname="%s"]' % nickname).click()

    def say(self, text):
        self.el('#Edit5').send_keys(text, Keys.ENTER)

    def log_has(self, css, text):
        # textContent: a thread not shown yet still holds its lines.
        return any(text in e.get_attribute('textContent')
                   for e in self.d.find_elements(By.CSS_SELECTOR, css))

    def quit(self):
        self.d.quit()


class Host:
    """tests/web/web_host: the desktop program hosting with 允许网页加入 on."""

    def __init__(self):
        self.port = free_port_pair()
        self.dir = tempfile.TemporaryDirectory(prefix='pinwa-e2e-')
        env = dict(os.environ, XDG_CONFIG_HOME=self.dir.name, QT_QPA_PLATFORM='offscreen')
        self.proc = subprocess.Popen([HOST_EXE, str(self.port)], cwd=self.dir.name, env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                     encoding='utf-8', bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self._expect('ready')
        self.url = 'http://127.0.0.1:%d/' % (self.port + 1)

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip('\n'))
        self.lines.put(None)

    def _expect(self, wanted):
        while True:
            line = self.lines.get(timeout=WAIT)
            if line is None:
                raise AssertionError('the host ended before "%s"' % wanted)
            if line == wanted:
                return

    def command(self, verb, argument):
        self.proc.stdin.write('%s %s\n' % (verb, argument))
        self.proc.stdin.flush()
        self._expect('done')

    def stop(self):
        self.proc.stdin.close()
        try:
            self.proc.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.dir.cleanup()


class WebRoom(unittest.TestCase):
    def setUp(self):
        self.host = Host()
        self.addCleanup(self.host.stop)
        self.qiang = RawPeer(self.host.port, '阿强')
        self.addCleanup(self.qiang.close)

    def browser(self, url=None):
        b = Browser(url or self.host.url)
        self.addCleanup(b.quit)
        return b

    def seated(self, nickname='小明', url=None):
        b = self.browser(url)
        b.joined(nickname)
        self.qiang.wait_for(gb(nickname + '\n'))
        return b

    def test_talk_reaches_a_legacy_peer_as_desktop_bytes_and_back(self):
        b = self.seated()
        b.choose('阿强')
        self.qiang.received = b''
        b.say('你好')
        expected = b'&S' + gb('小明 对 阿强 说: 你好\r')
        until(lambda: len(self.qiang.read()) >= len(expected))
        self.assertEqual(self.qiang.received, expected)
        b.wait(lambda: b.log_has('#Memo1 .line.own', '小明 对 阿强 说: 你好'))

        self.qiang.send(b'&S' + gb('阿强 对 小明 说: 早上好\r'))
        b.wait(lambda: b.log_has('#Memo1 .line.toMe', '阿强 对 小明 说: 早上好'))
        stamp = b.d.find_elements(By.CSS_SELECTOR, '#Memo1 .line.toMe time')[-1].text
        self.assertRegex(stamp, r'^\d\d:\d\d:\d\d$')

    def test_whisper_button_opens_a_thread_the_peer_receives(self):
        b = self.seated()
        b.choose('阿强')
        b.el('#whisperButton').click()
        thread = '[data-peer="阿强"]'
        b.wait(lambda: b.el(thread).is_displayed())
        self.qiang.received = b''
        b.el(thread + ' .Edit1').send_keys('悄悄的', Keys.ENTER)
        got = until(lambda: re.search(rb'&Q(\d{3})' + re.escape(gb('小明 说: 悄悄的')) + rb'$',
                                      self.qiang.read()))
        self.qiang.send(b'&Q' + got.group(1) + gb('阿强 说: 收到了'))
        b.wait(lambda: b.log_has(thread + ' .Memo1 .line.other', '阿强 说: 收到了'))

    def test_whisper_from_a_legacy_peer_opens_a_thread_that_answers(self):
        b = self.seated()
        self.qiang.received = b''
        self.qiang.send(b'&W' + gb('小明'))
        seat = until(lambda: re.search(rb'&W(\d{3})' + re.escape(gb('小明')), self.qiang.read())).group(1)
        self.qiang.received = b''
        self.qiang.send(b'&Q' + seat + gb('阿强 说: 在吗?'))
        thread = '[data-peer="阿强"]'
        b.wait(lambda: b.d.find_elements(By.CSS_SELECTOR, thread)
               and b.log_has(thread + ' .Memo1', '阿强 说: 在吗?'))
        b.el('#tabs button[aria-controls="%s"]' % b.el(thread).get_attribute('id')).click()
        b.el(thread + ' .Edit1').send_keys('在呢', Keys.ENTER)
        self.qiang.wait_for(b'&Q' + seat + gb('小明 说: 在呢'))
        self.assertEqual(self.qiang.received.count(b'&Q'), 1)

    def test_host_broadcast_shows_as_a_notice_until_dismissed(self):
        b = self.seated()
        self.host.command('broadcast', '今晚十点关门')
        b.wait(lambda: b.el('#notice').is_displayed())
        self.assertEqual(b.text('#noticeText'), '今晚十点关门')
        b.el('#noticeOk').click()
        b.wait(lambda: not b.el('#notice').is_displayed())

    def test_kicked_browser_is_back_at_the_join_form_without_its_seat(self):
        b = self.seated()
        self.qiang.received = b''
        self.host.command('kick', '小明')
        b.wait(lambda: b.el('#joinForm').is_displayed())
        self.assertTrue(b.text('#joinText'))
        self.assertIsNone(b.d.execute_script("return sessionStorage.getItem('pinwa.token')"))
        self.qiang.wait_for(b'&Y' + gb('阿强\n主持人\n'))

    def test_second_browser_is_refused_a_taken_nickname_in_the_desktop_words(self):
        self.seated()
        second = self.browser()
        second.join('小明')
        second.wait(lambda: second.el('#notice').is_displayed())
        # First what the host says, then the desktop's own words for the closed connection.
        said = [p.text for p in second.d.find_elements(By.CSS_SELECTOR, '#noticeText p')]
        self.assertEqual(said[0], '您的昵称已经有人在使用了!')
        self.assertTrue(second.el('#joinForm').is_displayed())
        self.assertFalse(second.el('#chat').is_displayed())

    def test_dropped_tab_keeps_its_seat_and_gets_what_it_missed(self):
        proxy = DropProxy(self.host.port + 1)
        self.addCleanup(proxy.close)
        b = self.seated(url='http://127.0.0.1:%d/' % proxy.port)
        self.qiang.received = b''
        proxy.drop()
        b.wait(lambda: b.text('#ts') == '连接断开!')
        self.qiang.send(b'&S' + gb('阿强 对 小明 说: 你还在吗\r'))
        b.wait(lambda: b.log_has('#Memo1 .line.toMe', '阿强 对 小明 说: 你还在吗'))
        self.assertEqual(len(b.d.find_elements(By.CSS_SELECTOR, '#Memo1 .line.toMe')), 1)
        b.choose('阿强')
        b.say('我回来了')
        self.qiang.wait_for(b'&S' + gb('小明 对 阿强 说: 我回来了\r'))
        # Nobody saw the seat go: no leave line, no new roster.
        self.assertNotIn(gb('离开聊天室'), self.qiang.received)
        self.assertNotIn(b'&Y', self.qiang.received)

    def test_text_gb2312_lacks_stays_in_the_input_marked(self):
        b = self.seated()
        b.choose('阿强')
        self.qiang.received = b''
        b.say('好的😀呀')
        b.wait(lambda: b.el('#room .unsendable').is_displayed())
        self.assertEqual(b.el('#Edit5').get_attribute('value'), '好的😀呀')
        self.assertEqual([m.text for m in b.d.find_elements(By.CSS_SELECTOR, '#room .unsendable mark')],
                         ['😀'])
        b.el('#Edit5').clear()
        b.say('好的')
        expected = b'&S' + gb('小明 对 阿强 说: 好的\r')
        until(lambda: len(self.qiang.read()) >= len(expected))
        self.assertEqual(self.qiang.received, expected)
        b.wait(lambda: not b.el('#room .unsendable').is_displayed())

    def test_hidden_tab_counts_unread_lines_in_its_title(self):
        b = self.seated()
        page = b.d.current_window_handle
        b.d.switch_to.new_window('tab')
        for text in ('一', '二'):
            self.qiang.send(b'&S' + gb('阿强 对 小明 说: %s\r' % text))
            self.qiang.wait_for(gb(text))  # separate reads, as two people would send them

        def titles():
            targets = b.d.execute_cdp_cmd('Target.getTargets', {})['targetInfos']
            return [t['title'] for t in targets if t['type'] == 'page']
        b.wait(lambda: '(2) Pinwa 聊天室' in titles())
        b.d.close()
        b.d.switch_to.window(page)
        b.wait(lambda: b.d.title == 'Pinwa 聊天室')


if __name__ == '__main__':
    if not HOST_EXE:
        sys.exit('usage: e2e_browser.py WEB_HOST_EXECUTABLE')
    unittest.main(verbosity=2)
