/* eiofs: a tiny FUSE file system whose files misbehave, for the file fault tests.
 *   eiofs DIR   mounts it on DIR, then serves from the background until DIR is unmounted.
 * Speaks the kernel protocol on /dev/fuse itself (no libfuse). Its files:
 *   broken.bin   20000 bytes; every read and every write fails with EIO
 *   denied.bin   every open fails with EACCES, which even root meets
 *   grows.bin    says 5000 bytes, yet reads go on to 30000: it grew after it was measured
 *   shrinks.bin  says 30000 bytes, yet reads end at 12000: it shrank after it was measured
 *   gate.bin     32 MiB; a read past its first 8 MiB waits until the file DIR.open exists,
 *                so a test holds a long run half-way and lets it go when it likes
 *   breaks.bin   32 MiB; a read past its first 8 MiB fails with EIO, and adds a line to
 *                the file DIR.broke if a test made one, so it knows the reader met the fault
 * Byte i of every readable file is 'a' + (7 * i + i / 97) % 26. Built for Linux. */
#include <stdlib.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/fuse.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

enum { MIB = 1 << 20, HALFWAY = 8 * MIB };
static const struct { const char *name; unsigned long size, readable; } files[] = {
    {"broken.bin", 20000, 0},     {"denied.bin", 0, 0},           {"grows.bin", 5000, 30000},
    {"shrinks.bin", 30000, 12000}, {"gate.bin", 32 * MIB, 32 * MIB}, {"breaks.bin", 32 * MIB, 32 * MIB}};
enum { NFILES = sizeof files / sizeof files[0], ROOT = 1 };
static int fd;
static char gate[4200];  /* the file whose existence opens gate.bin past its first 8 MiB */
static char broke[4200]; /* written to, when it exists, as breaks.bin fails a read */

static void reply(unsigned long long unique, int error, const void *data, size_t size) {
    struct fuse_out_header out = {sizeof out + size, -error, unique};
    char buf[sizeof out + 65536];
    memcpy(buf, &out, sizeof out);
    if (size) memcpy(buf + sizeof out, data, size);
    if (write(fd, buf, sizeof out + size) < 0) { /* the request was interrupted */ }
}

static void attr_of(unsigned long long node, struct fuse_attr *a) {
    memset(a, 0, sizeof *a);
    a->ino = node;
    a->nlink = 1;
    a->blksize = 4096;
    if (node == ROOT) { a->mode = S_IFDIR | 0755; a->nlink = 2; return; }
    a->mode = S_IFREG | 0666;
    a->size = files[node - 2].size;
    a->blocks = (a->size + 511) / 512;
}

int main(int argc, char **argv) {
    char options[128], in[1 << 17];
    if (argc != 2) { fprintf(stderr, "usage: eiofs DIR\n"); return 2; }
    if ((fd = open("/dev/fuse", O_RDWR | O_CLOEXEC)) < 0) { perror("/dev/fuse"); return 1; }
    snprintf(options, sizeof options, "fd=%d,rootmode=40000,user_id=%u,group_id=%u,allow_other,max_read=65536", fd,
             (unsigned)getuid(), (unsigned)getgid());
    snprintf(gate, sizeof gate, "%s.open", argv[1]);
    snprintf(broke, sizeof broke, "%s.broke", argv[1]);
    if (mount("eiofs", argv[1], "fuse.eiofs", MS_NOSUID | MS_NODEV, options) != 0) { perror("mount"); return 1; }
    if (daemon(0, 0) != 0) { perror("daemon"); umount2(argv[1], MNT_DETACH); return 1; }
    for (;;) {
        /* A mount whose test died is taken down after ten idle minutes. */
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 600000) == 0) { umount2(argv[1], MNT_DETACH); return 0; }
        ssize_t n = read(fd, in, sizeof in);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == ENOENT)) continue;
        if (n < (ssize_t)sizeof(struct fuse_in_header)) return 0; /* ENODEV: unmounted */
        const struct fuse_in_header *h = (const void *)in;
        const void *arg = in + sizeof *h;
        unsigned long long node = h->nodeid;
        union { struct fuse_init_out init; struct fuse_entry_out entry; struct fuse_attr_out attr;
                struct fuse_open_out open; struct fuse_statfs_out statfs; char dir[512]; } out;
        memset(&out, 0, sizeof out);
        switch (h->opcode) {
        case FUSE_INIT: {
            const struct fuse_init_in *i = arg;
            out.init.major = FUSE_KERNEL_VERSION;
            out.init.minor = i->minor < FUSE_KERNEL_MINOR_VERSION ? i->minor : FUSE_KERNEL_MINOR_VERSION;
            out.init.max_readahead = i->max_readahead;
            out.init.max_write = 65536;
            reply(h->unique, 0, &out.init, sizeof out.init);
            break;
        }
        case FUSE_LOOKUP: {
            int k = 0;
            while (k < NFILES && strcmp(files[k].name, arg) != 0) k++;
            if (node != ROOT || k == NFILES) { reply(h->unique, ENOENT, NULL, 0); break; }
            out.entry.nodeid = k + 2;
            attr_of(k + 2, &out.entry.attr);
            reply(h->unique, 0, &out.entry, sizeof out.entry);
            break;
        }
        case FUSE_GETATTR:
        case FUSE_SETATTR: /* a truncation is accepted and forgotten */
            attr_of(node, &out.attr.attr);
            reply(h->unique, 0, &out.attr, sizeof out.attr);
            break;
        case FUSE_OPEN:
            if (node >= 2 && strcmp(files[node - 2].name, "denied.bin") == 0) {
                reply(h->unique, EACCES, NULL, 0);
                break;
            }
            out.open.open_flags = FOPEN_DIRECT_IO; /* every read and write comes here, none from a cache */
            reply(h->unique, 0, &out.open, sizeof out.open);
            break;
        case FUSE_READ: {
            const struct fuse_read_in *r = arg;
            unsigned long end = files[node - 2].readable, count = 0;
            char data[65536];
            const char *name = files[node - 2].name;
            if (end == 0 || (strcmp(name, "breaks.bin") == 0 && r->offset >= HALFWAY)) {
                int told = end != 0 ? open(broke, O_WRONLY | O_APPEND | O_CLOEXEC) : -1;
                if (told >= 0) {
                    if (write(told, "broke\n", 6) < 0) { /* the test then waits in vain and fails */ }
                    close(told);
                }
                reply(h->unique, EIO, NULL, 0);
                break;
            }
            /* Every other request waits with this one; a gate nobody opens gives way after
             * two minutes, so a failed test cannot hang its reader for ever. */
            for (int waited = 0; strcmp(name, "gate.bin") == 0 && r->offset >= HALFWAY && access(gate, F_OK) != 0 &&
                                 waited < 60000;
                 waited++)
                usleep(2000);
            for (unsigned long i = r->offset; i < end && count < r->size && count < sizeof data; i++)
                data[count++] = (char)('a' + (7 * i + i / 97) % 26);
            reply(h->unique, 0, data, count);
            break;
        }
        case FUSE_WRITE:
            reply(h->unique, EIO, NULL, 0);
            break;
        case FUSE_OPENDIR:
            reply(h->unique, 0, &out.open, sizeof out.open);
            break;
        case FUSE_READDIR: {
            const struct fuse_read_in *r = arg;
            size_t used = 0;
            for (unsigned long k = r->offset; k < NFILES; k++) {
                struct fuse_dirent *d = (void *)(out.dir + used);
                size_t size = FUSE_DIRENT_ALIGN(FUSE_NAME_OFFSET + strlen(files[k].name));
                if (used + size > r->size || used + size > sizeof out.dir) break;
                d->ino = k + 2;
                d->off = k + 1;
                d->namelen = strlen(files[k].name);
                d->type = S_IFREG >> 12;
                memcpy(d->name, files[k].name, d->namelen);
                used += size;
            }
            reply(h->unique, 0, out.dir, used);
            break;
        }
        case FUSE_STATFS:
            out.statfs.st.bsize = out.statfs.st.frsize = 4096;
            out.statfs.st.namelen = 255;
            reply(h->unique, 0, &out.statfs, sizeof out.statfs);
            break;
        case FUSE_RELEASE: case FUSE_RELEASEDIR: case FUSE_FLUSH: case FUSE_FSYNC: case FUSE_ACCESS:
            reply(h->unique, 0, NULL, 0);
            break;
        case FUSE_FORGET: case FUSE_BATCH_FORGET: case FUSE_INTERRUPT:
            break; /* no answer is expected */
        case FUSE_DESTROY:
            reply(h->unique, 0, NULL, 0);
            return 0;
        default: /* extended attributes, locks, creation...: not offered */
            reply(h->unique, ENOSYS, NULL, 0);
        }
    }
}
