#!/usr/bin/env python3
"""Makes the seeds of fuzz_rrdheader from a real history file.

Usage: make_rrdheader_seeds.py HISTORY_FILE SMALL_FILE OUT_FOLDER

HISTORY_FILE is a file the history store created (any poll interval); SMALL_FILE a whole small
file with the same data sources (one short archive), which the fuzzer may hand on to librrd.
Each seed is the file size (8 bytes, little-endian) followed by the file's header (the data
rows are left out to keep the seeds small; the size still says how long the file was). Seeds
named "valid-*" are sound; every other seed is one damage that the check must refuse.
"""
import os
import struct
import sys

STAT, DS, RRA, LIVE, PDP, CDP, PTR = 128, 120, 120, 16, 112, 80, 8


def layout(data):
    ds_cnt, rra_cnt = struct.unpack_from('<QQ', data, 24)
    ds_at = STAT
    rra_at = ds_at + ds_cnt * DS
    live_at = rra_at + rra_cnt * RRA
    pdp_at = live_at + LIVE
    cdp_at = pdp_at + ds_cnt * PDP
    ptr_at = cdp_at + rra_cnt * ds_cnt * CDP
    return dict(ds_cnt=ds_cnt, rra_cnt=rra_cnt, ds=ds_at, rra=rra_at, live=live_at, pdp=pdp_at,
                ptr=ptr_at, header=ptr_at + rra_cnt * PTR)


def seed(size, head):
    return struct.pack('<Q', size) + bytes(head)


def main():
    real = open(sys.argv[1], 'rb').read()
    small = open(sys.argv[2], 'rb').read()
    out = sys.argv[3]
    os.makedirs(out, exist_ok=True)
    L = layout(real)
    head = bytearray(real[:L['header']])
    size = len(real)
    seeds = {'valid-store-file': seed(size, head), 'valid-small-whole-file': seed(len(small), small)}

    def put(name, offset, fmt, value, size_delta=0):
        h = bytearray(head)
        struct.pack_into(fmt, h, offset, value)
        seeds[name] = seed(size + size_delta, h)

    def put_bytes(name, offset, raw):
        h = bytearray(head)
        h[offset:offset + len(raw)] = raw
        seeds[name] = seed(size, h)

    for name, raw in [('rrx', b'RRX\0'), ('lower', b'rrd\0'), ('zero', b'\0\0\0\0'),
                      ('no-nul', b'RRDD'), ('gif', b'GIF8')]:
        put_bytes('cookie-' + name, 0, raw)
    for name, raw in [('0001', b'0001\0'), ('0002', b'0002\0'), ('0006', b'0006\0'),
                      ('9999', b'9999\0'), ('no-nul', b'00033')]:
        put_bytes('version-' + name, 4, raw)
    for name, value in [('zero', 0.0), ('one', 1.0), ('nan', float('nan')), ('inf', float('inf')),
                        ('near', 8.642135e130 * (1 + 1e-15))]:
        put('float-cookie-' + name, 16, '<d', value)
    for value in [0, 1, 7, 9, 255, 2**32, 2**63, 2**64 - 1]:
        put('ds-count-%d' % value, 24, '<Q', value)
    for value in [0, 1, 7, 9, 65, 2**32, 2**64 - 1]:
        put('rra-count-%d' % value, 32, '<Q', value)
    for value in [0, 86401, 2**32, 2**64 - 1]:
        put('step-%d' % value, 40, '<Q', value)
    for i in range(L['ds_cnt']):
        at = L['ds'] + i * DS
        put_bytes('ds%d-renamed' % i, at, b'X')
        put_bytes('ds%d-name-no-nul' % i, at, b'n' * 20)
        put_bytes('ds%d-counter' % i, at + 20, b'COUNTER\0')
        put_bytes('ds%d-cdef' % i, at + 20, b'CDEF\0')
        put('ds%d-heartbeat-0' % i, at + 40, '<Q', 0)
    for i in range(L['rra_cnt']):
        at = L['rra'] + i * RRA
        rows = struct.unpack_from('<Q', head, at + 24)[0]
        put_bytes('rra%d-hwpredict' % i, at, b'HWPREDICT\0')
        put_bytes('rra%d-unknown-cf' % i, at, b'XYZ\0')
        put('rra%d-rows-0' % i, at + 24, '<Q', 0)
        put('rra%d-rows-plus-1' % i, at + 24, '<Q', rows + 1)
        put('rra%d-rows-huge' % i, at + 24, '<Q', 2**63)
        put('rra%d-pdp-count-0' % i, at + 32, '<Q', 0)
        put('rra%d-pdp-count-huge' % i, at + 32, '<Q', 2**63)
        put('rra%d-xff-1' % i, at + 40, '<d', 1.0)
        put('rra%d-xff-nan' % i, at + 40, '<d', float('nan'))
        put('rra%d-row-past-end' % i, L['ptr'] + i * PTR, '<Q', rows)
        put('rra%d-row-huge' % i, L['ptr'] + i * PTR, '<Q', 2**64 - 1)
    put('last-update-negative', L['live'], '<q', -1)
    put('last-update-huge', L['live'], '<q', 2**62)
    put('last-usec-negative', L['live'] + 8, '<q', -1)
    put('last-usec-million', L['live'] + 8, '<q', 1000000)
    put_bytes('last-ds0-no-nul', L['pdp'], b'9' * 30)
    seeds['size-minus-1'] = seed(size - 1, head)
    seeds['size-plus-1'] = seed(size + 1, head)
    seeds['size-0'] = seed(0, b'')
    seeds['size-header-only'] = seed(L['header'], head)
    for cut in [3, 100, 127, 1000, L['rra'] + 5, L['header'] - 1]:
        seeds['truncated-%d' % cut] = seed(cut, head[:cut])
    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)
    print('%d seeds, %d bytes' % (len(seeds), sum(len(d) for d in seeds.values())))


if __name__ == '__main__':
    main()
