"""Regenerates the settings-page screenshots of rooms found on the network, at scale 1 and 2:
a host announces in one network namespace, a copy on Xvfb in the other lists it; then the
same copy with nothing announced. Needs root, Xvfb and avahi-daemon; run from the repository
root after a build (build/tests/discovery/discovery_peer)."""
import os, shutil, subprocess, sys, tempfile, time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, 'tests', 'discovery'))
sys.argv[1:] = [os.path.join(root, 'build', 'tests', 'discovery', 'discovery_peer')]
import lan_rooms as lan  # noqa: E402

OUT = os.path.join(root, 'docs', 'screenshots')
DISPLAY = os.environ.get('SHOT_DISPLAY', ':58')


def shoot(client, name):
    lan.until('the window is drawn', lambda: client.command('rooms'))
    client.command('shot ' + os.path.join(OUT, name))


def main():
    xvfb = subprocess.Popen(['Xvfb', DISPLAY, '-screen', '0', '1600x1200x24'],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    lan.make_namespaces()
    work = tempfile.mkdtemp()
    procs, peers = [xvfb], []
    try:
        envs = {}
        for side in lan.SIDES:
            started, envs[side] = lan.start_services(work, side)
            procs += started
        host = lan.peer(work, 'h', envs['h'], 'host')
        peers.append(host)
        host.command('host 8888 Pinwa大厅 主持人 1')
        for scale, suffix in (('1', ''), ('2', '-2x')):
            env = dict(envs['c'], DISPLAY=DISPLAY, QT_SCALE_FACTOR=scale, QT_QPA_PLATFORM='xcb')
            client = lan.peer(work, 'c', env, 'client' + scale)
            peers.append(client)
            lan.until('the room is listed', lambda: lan.rooms(client)[0])
            client.command('open')
            shoot(client, 'settings-rooms%s.png' % suffix)
        host.command('end')
        for scale, suffix in (('1', ''), ('2', '-2x')):
            client = peers[1 if scale == '1' else 2]
            client.command('close')
            lan.until('nothing is found', lambda: lan.rooms(client)[1])
            shoot(client, 'settings-no-rooms%s.png' % suffix)
    finally:
        for p in peers:
            p.close()
        for p in procs:
            p.terminate()
            p.wait(timeout=10)
        for side in lan.SIDES:
            lan.sh('ip', 'netns', 'del', lan.TAG + side, check=False)
        shutil.rmtree(work, ignore_errors=True)


main()
