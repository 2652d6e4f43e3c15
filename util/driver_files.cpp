// The driver's files: the data directory beside the game, the per-user
// directory in the home folder, and image files turned into OpenGL textures.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver.h"
#include "log.h"

enum { FNAME_MAX = 512, USER_FILE_MODE = 0600, USER_DIR_MODE = 0755 };

static const char* DATA_DIR = "../data";

const char* _driver_gamename();

static char _data_dir[FNAME_MAX];
static char _doc_dir[FNAME_MAX];
static char _data_fname[FNAME_MAX];
static char _doc_fname[FNAME_MAX];

static const char* _driver_get_datadir() {
    snprintf(_data_dir, sizeof(_data_dir), "%s", DATA_DIR);
    return _data_dir;
}

static const char* _driver_get_docdir() {
    const char* name = _driver_gamename();
    if (!name || !name[0]) {
        snprintf(_doc_dir, sizeof(_doc_dir), ".");
        return _doc_dir;
    }
    const char* home = getenv("HOME");
    if (snprintf(_doc_dir, sizeof(_doc_dir), "%s/.%s", home ? home : ".", name) >= FNAME_MAX)
        fprintf(stderr, "home folder name too long\n");
    mkdir(_doc_dir, USER_DIR_MODE);
    return _doc_dir;
}

const char* driver_data_fname(const char* name) {
    // A name too long for the buffer is cut; the open that follows then fails.
    if (snprintf(_data_fname, sizeof(_data_fname), "%s/%s", _driver_get_datadir(), name) >= FNAME_MAX)
        fprintf(stderr, "file name too long: %s\n", name);
    return _data_fname;
}

const char* driver_doc_fname(const char* name) {
    if (snprintf(_doc_fname, sizeof(_doc_fname), "%s/%s", _driver_get_docdir(), name) >= FNAME_MAX)
        fprintf(stderr, "file name too long: %s\n", name);
    return _doc_fname;
}

std::string driver_data_load(const char* name) {
    const char* path = driver_data_fname(name);
    FILE* f = fopen(path, "rb");
    if (!f) return std::string();
    std::string out;
    char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, got);
    fclose(f);
    return out;
}

int driver_doc_load(const char* name, void* buf, int max) {
    const char* path = driver_doc_fname(name);
    struct stat st;
    bool exists = stat(path, &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        fprintf(stderr, "%s is not a regular file, not read\n", name);
        return 0;
    }
    long size = exists ? (long)st.st_size : 0;
    if (size > max) {
        fprintf(stderr, "%s is too large\n", name);
        return 0;
    }
    // Non-blocking, and checked again once open: a FIFO put in place of the
    // file after the check above must not hang the start either.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A user file that is not there yet is the first run's normal case.
        log_info("file not found: %s\n", path);
        return 0;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (long)st.st_size > max) {
        fprintf(stderr, "%s changed while it was read, not read\n", name);
        close(fd);
        return 0;
    }
    char* p = (char*)buf;
    long got = 0;
    while (got < (long)st.st_size) {
        ssize_t r = read(fd, p + got, (size_t)(st.st_size - got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += r;
    }
    close(fd);
    return (int)got;
}

int driver_doc_save(const char* name, const void* buf, int n) {
    char path[FNAME_MAX], tmp[FNAME_MAX + 16];
    snprintf(path, sizeof(path), "%s", driver_doc_fname(name));
    snprintf(tmp, sizeof(tmp), "%s.tmp%d", path, (int)getpid());
    int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC, USER_FILE_MODE);
    if (fd < 0) {
        fprintf(stderr, "cannot write %s: %s\n", tmp, strerror(errno));
        return 0;
    }
    const char* p = (const char*)buf;
    int left = n;
    while (left > 0) {
        ssize_t w = write(fd, p, (size_t)left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        p += w;
        left -= (int)w;
    }
    // The new content must be on disk before it replaces the old file.
    bool ok = left == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(tmp, path) != 0) {
        fprintf(stderr, "cannot write %s: %s\n", path, strerror(errno));
        unlink(tmp);
        return 0;
    }
    return 1;
}

int driver_tex_load(const char* name) {
    const char* path = driver_data_fname(name);
    log_info("driver_tex_load %s\n", path);
    SDL_Surface* loaded = IMG_Load(path);
    if (!loaded) {
        fprintf(stderr, "unable to load %s\n", path);
        return 0;
    }
    SDL_Surface* rgba = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, loaded->w, loaded->h, 32,
                                             0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    if (!rgba) {
        SDL_FreeSurface(loaded);
        fprintf(stderr, "unable to load %s\n", path);
        return 0;
    }
    // Copy the pixels as they are, alpha included, instead of blending them.
    SDL_SetAlpha(loaded, 0, SDL_ALPHA_OPAQUE);
    SDL_BlitSurface(loaded, nullptr, rgba, nullptr);
    SDL_FreeSurface(loaded);
    if (rgba->format->Amask && rgba->format->BytesPerPixel == 4) {
        SDL_LockSurface(rgba);
        for (int y = 0; y < rgba->h; y++) {
            Uint32* row = (Uint32*)((Uint8*)rgba->pixels + y * rgba->pitch);
            for (int x = 0; x < rgba->w; x++)
                if ((row[x] & rgba->format->Amask) == 0) row[x] = 0;
        }
        SDL_UnlockSurface(rgba);
    } else {
        fprintf(stderr, "surf_to_tex2: no Amask\n");
    }
    GLuint tex = 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    SDL_LockSurface(rgba);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, rgba->w, rgba->h, GL_RGBA, GL_UNSIGNED_BYTE, rgba->pixels);
    SDL_UnlockSurface(rgba);
    SDL_FreeSurface(rgba);
    log_info("loaded %s as %d\n", path, (int)tex);
    return (int)tex;
}
