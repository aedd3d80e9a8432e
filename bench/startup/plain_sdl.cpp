// The baseline: SDL, a window with an OpenGL context, one swap.
#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>

int main() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_Window* w = SDL_CreateWindow("plain", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480,
                                   SDL_WINDOW_OPENGL);
  SDL_GLContext c = w ? SDL_GL_CreateContext(w) : nullptr;
  if (!c) return 1;
  glClear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SwapWindow(w);
  std::puts("frame");
  std::fflush(stdout);
  SDL_GL_DeleteContext(c);
  SDL_DestroyWindow(w);
  SDL_Quit();
  return 0;
}
