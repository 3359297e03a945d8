"""Writes a long result log in the lab drive's layout, for timing the report:
rounds of in-round lines (one per 1024-block batch) and a round end, rising
erase counts, bit errors and failure blocks.
Usage: long_log.py OUT.csv [LINES] (default 100000 data lines)"""

import datetime
import random
import sys

COLUMNS = ("Date-Time,Average Erase Count,Maximum Erase Count,Minimum Erase Count,Power Cycle Count,"
           "Power on Hours,Raw Read Error Rate,Initial Bad Block Count,Program Failure Block Count,"
           "Erase Failure Block Count,Read Failure Block Count,Total Count of Error Bits from Flash,"
           "Total Count of Read Sectors with Correctable Bit Errors,Maximum PE Count Specification,"
           "Bad Block Full Flag,Total Count of Read Sectors,Total Count of Read Commands,"
           "Total Count of Write Sectors,Total Count of Write Commands,BBM Error Log,"
           "SATA Error Count CRC,SATA Error Count HANDSHAKE,SATA Link Status1,"
           "Raw Bit Error Rate(Calculated),Uncorrectable Bit Error Rate(8bitECC),"
           "Uncorrectable Bit Error Rate(12bitECC),Raw Bit Error Rate(Last Round),"
           "Uncorrectable Bit Error Rate(8bitECC Last Round),"
           "Uncorrectable Bit Error Rate(12bitECC Last Round),Uncorrectable Bit Error Count,"
           "Sector Fail Count,Read Speed(MB/s),Write Speed(MB/s)")
BATCH = 1024 * 2048  # sectors of one 1024-block batch
PER_ROUND = 49  # in-round lines per round; the round's last batch is shorter
LAST_BATCH = 300 * 2048
MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def stamp(when: datetime.datetime) -> str:
    return f"{when.year}-{MONTHS[when.month - 1]}-{when.day:02d} {when:%H:%M:%S}"


def write(path: str, count: int) -> None:
    rng = random.Random(21)
    when = datetime.datetime(2026, 3, 1, 8, 0, 0)
    sectors, bits, fails, round_ = 0, 0, 0, 0
    with open(path, "w", newline="") as out:
        out.write("Pinewade Tallymark Log v1.1\r\n" + COLUMNS + "\r\n")
        out.write(f"{stamp(when)},0,0,0,1,0,0,2,0,0,0,0,0,3000,0,0,0,0,0,0,0,0,3,-nan,-nan,-nan,"
                  "0,0,0,0,0,0,0\r\n")
        for n in range(1, count):
            end = n % (PER_ROUND + 1) == 0
            sectors += LAST_BATCH if end else BATCH
            when += datetime.timedelta(seconds=rng.randint(15, 25))
            round_rate = 0.0
            if end:
                round_ += 1
                found = rng.randint(0, 3 + round_ // 100)
                bits += found
                fails += found
                round_rate = max(found, 1) / (PER_ROUND * BATCH * 4096.0)
            rate = max(bits, 1) / (sectors * 4096.0)
            aec = round_ + (1 if not end and n % (PER_ROUND + 1) > PER_ROUND // 2 else 0)
            out.write(f"{stamp(when)},{aec},{aec + 7},{max(aec - 2, 0)},1,{n // 180},0,2,{fails // 40},"
                      f"{fails // 90},0,{bits * 37},{bits * 36},3000,0,{sectors},{sectors // 2048},"
                      f"{sectors},{sectors // 2048},{fails // 40},0,0,3,{rate:g},{rate ** 2:g},"
                      f"{rate ** 3:g},{round_rate:g},{round_rate ** 2:g},{round_rate ** 3:g},{bits},"
                      f"{fails},{rng.uniform(480, 520):g},{rng.uniform(380, 420):g}\r\n")


if __name__ == "__main__":
    write(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 100000)
