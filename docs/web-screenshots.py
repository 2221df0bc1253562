#!/usr/bin/python3
"""Regenerates docs/screenshots/web-*.png: the page as a phone (390x844) and a
desktop browser (1280x800) show it, in a real host's room beside two raw peers.
Run from the repository root after a build: docs/web-screenshots.py build/tests/web/web_host"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
import e2e_browser as e  # noqa: E402  (takes the host's path from argv)
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

OUT = os.path.join(os.path.dirname(__file__), 'screenshots')


class Shots(e.WebRoom):
    def shoot(self, d, name, width, height):
        d.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': width < 600})
        d.save_screenshot(os.path.join(OUT, name))

    def test_shots(self):
        hong = e.RawPeer(self.host.port, '小红')
        self.addCleanup(hong.sock.close)
        d = self.seated()
        hong.sock.sendall(b'&S' + e.gb('小红 对 阿强 说: 今天中午吃什么?\r'))
        self.qiang.sock.sendall(b'&S' + e.gb('阿强 对 小明 说: 小明, 一起去食堂吧!\r'))
        self.shown(d, '#Memo1', '一起去食堂吧')
        d.find_element(By.ID, 'Edit5').send_keys('好呀, 十二点楼下见', Keys.ENTER)
        self.shown(d, '#Memo1 .own', '十二点楼下见')
        d.find_element(By.ID, 'Edit5').send_keys('再叫上小红 😀', Keys.ENTER)
        self.wait(d, lambda: d.find_element(By.CSS_SELECTOR, '#room .unsendable').is_displayed())
        self.shoot(d, 'web-room-1280x800.png', 1280, 800)
        self.shoot(d, 'web-room-390x844.png', 390, 844)
        d.find_element(By.ID, 'usersToggle').click()
        self.shoot(d, 'web-users-390x844.png', 390, 844)
        d.find_element(By.CSS_SELECTOR, '#list1 button[data-nickname="阿强"]').click()
        d.find_element(By.ID, 'whisperButton').click()
        self.wait(d, lambda: d.find_element(By.CSS_SELECTOR, e.THREAD).is_displayed())
        d.find_element(By.CSS_SELECTOR, e.THREAD + ' .Edit1').send_keys('别告诉小红哦', Keys.ENTER)
        seat = e.until(lambda: e.re.search(rb'&Q(\d{3})', self.qiang.read())).group(1)
        self.qiang.sock.sendall(b'&Q' + seat + e.gb('阿强 说: 放心吧'))
        self.shown(d, e.THREAD + ' .Memo1', '放心吧')
        self.shoot(d, 'web-whisper-390x844.png', 390, 844)
        self.shoot(d, 'web-whisper-1280x800.png', 1280, 800)

    def test_file_shots(self):
        work = e.tempfile.TemporaryDirectory(prefix='pinwa-shots-')
        self.addCleanup(work.cleanup)
        sent = os.path.join(work.name, '会议纪要.pdf')
        with open(sent, 'wb') as f:
            f.write(os.urandom(2200 * 1024))
        d = self.seated()
        d.find_element(By.ID, 'sendFile').send_keys(sent)
        self.shown(d, '#Memo1 .fileEntry .name', '会议纪要.pdf')
        self.shown(d, '#transfers .state', '发送完毕')
        # An offer from an older copy's user, typed by hand, shows as an entry too.
        self.qiang.sock.sendall(b'&S' + e.gb('阿强 对 小明 说: 收到, 谢谢!\r'))
        self.shown(d, '#Memo1', '谢谢')
        self.shoot(d, 'web-file-390x844.png', 390, 844)
        self.shoot(d, 'web-file-1280x800.png', 1280, 800)


if __name__ == '__main__':
    e.unittest.main(argv=[sys.argv[0]] + (sys.argv[1:] or ['Shots.test_shots', 'Shots.test_file_shots']))
