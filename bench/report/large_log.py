"""Writes a result log of the supported kind with LINES data lines (rounds of
eight batches on a 256 GiB drive), for timing ssdtest-report.
Usage: python3 bench/report/large_log.py LINES OUT.csv"""

import datetime
import sys

TITLE = "Pinewade Tallymark Log v1.1"
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
MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def main(lines, out):
    batch = 1024 * 2048
    round_sectors = 8 * batch + 300 * 2048
    time = datetime.datetime(2026, 1, 1)
    reads = bits = 0
    with open(out, "w", newline="") as file:
        file.write(f"{TITLE}\r\n{COLUMNS}\r\n")
        for n in range(lines):
            rnd, step = divmod(n, 9)
            end = step == 8
            reads = rnd * round_sectors + (round_sectors if end else (step + 1) * batch)
            aec = rnd
            rber = 1e-8 * (1 + rnd / 100)
            bits += 1 if end and rnd % 7 == 0 else 0
            when = f"{time.year}-{MONTHS[time.month - 1]}-{time.day:02d} {time:%H:%M:%S}"
            time += datetime.timedelta(seconds=40)
            last = rber if end else 0
            file.write(f"{when},{aec},{aec + 3},{max(aec - 2, 0)},1,{n // 90},0,1,{rnd // 500},0,"
                       f"{rnd // 900},{int(reads * 4096 * rber)},0,3000,0,{reads},{reads // 2048},"
                       f"{reads},{reads // 2048},0,0,0,3,{rber:g},{rber ** 2:g},{rber ** 3:g},"
                       f"{last:g},{last ** 2:g},{last ** 3:g},{bits},{bits // 3},512.5,431.25\r\n")


if __name__ == "__main__":
    main(int(sys.argv[1]), sys.argv[2])
