// Loaded with LD_PRELOAD under a program of the tests: a file system (a FUSE or network share) that
// takes neither rename flags nor hard links. A plain rename still works.
#define _GNU_SOURCE
#include <errno.h>
#include <stdio.h>
#include <unistd.h>

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, unsigned int flags) {
  (void)olddirfd, (void)oldpath, (void)newdirfd, (void)newpath, (void)flags;
  errno = EINVAL;
  return -1;
}

int link(const char* oldpath, const char* newpath) {
  (void)oldpath, (void)newpath;
  errno = EPERM;
  return -1;
}
