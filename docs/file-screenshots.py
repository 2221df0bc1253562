#!/usr/bin/python3
"""Regenerates docs/screenshots/files-*.png: the host sending a file to a raw peer,
its transfer window mid-way and done, under Xvfb with openbox.
Run from the repository root after a build, inside xvfb-run:
  xvfb-run -a -s '-screen 0 1100x800x24' docs/file-screenshots.py build/tests/web/web_host [SUFFIX]
(QT_SCALE_FACTOR=2 and SUFFIX -2x for the doubled shots)."""
import os, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
sys.argv, suffix = sys.argv[:2], (sys.argv[2] if len(sys.argv) > 2 else '')
import e2e_browser as e  # noqa: E402

OUT = os.path.join(os.path.dirname(__file__), 'screenshots')


def shot(name):
    time.sleep(0.5)
    subprocess.run(['import', '-window', 'root', os.path.join(OUT, name + suffix + '.png')], check=True)


wm = subprocess.Popen(['openbox'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
os.environ['PINWA_HOST_QPA'] = 'xcb'
try:
    host = e.Host()
    qiang = e.RawPeer(host.port, '阿强')
    work = tempfile.TemporaryDirectory()
    path = os.path.join(work.name, '年终总结.mp4')
    with open(path, 'wb') as f:
        f.truncate(600 << 20)  # 600 MiB, sparse: long enough to catch mid-way
    host.proc.stdin.write('sendfile 阿强 %s\n' % path)
    host.proc.stdin.flush()
    time.sleep(1.5)
    shot('files-progress')
    end = time.monotonic() + 120
    while e.gb('[文件]') not in qiang.read() and time.monotonic() < end:
        time.sleep(0.2)
    shot('files-done')
    # An older copy's user passes the address on by typing it: the host gets an entry.
    link = e.re.search(rb'http://\S+', qiang.got).group(0)
    qiang.sock.sendall(b'&S' + e.gb('阿强 对 主持人 说: [文件] 年终总结.mp4 (600.0 MB) ') + link + b'\r')
    time.sleep(1)
    shot('files-offer')
    host.command('showfiles')
    shot('files-host')
finally:
    try:
        host.stop()
    except Exception:
        pass
    wm.terminate()
