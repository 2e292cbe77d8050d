# The layers of the product: the one table of its source folders. The top
# CMakeLists.txt adds the folders in this order, the layering check
# (tools/check_layering.cmake) holds every source file and every link to it,
# and the ownership check (tools/check_ownership.cmake) searches every folder
# but shared/ for resources released by hand.
#
# Layers, highest first:
#   app
#   media, process          (siblings: neither uses the other)
#   classlib                (classlib/runtime does not use classlib/ui)
#   baseclasses, shared
# The filter libraries (screen_filter, loopback_filter) and the Wine
# stand-ins (wine_platform) build on baseclasses and shared only, and none of
# them uses another.

# The product folders, lowest layer first.
set(TAVREL_LAYERS
  shared
  baseclasses
  screen_filter
  loopback_filter
  wine_platform
  classlib
  media
  process
  app
)

# For each product folder: the top folders whose headers its files may
# include and whose libraries its targets may link.
set(TAVREL_LAYER_shared shared)
set(TAVREL_LAYER_baseclasses baseclasses shared)
set(TAVREL_LAYER_screen_filter screen_filter baseclasses shared)
set(TAVREL_LAYER_loopback_filter loopback_filter baseclasses shared)
set(TAVREL_LAYER_wine_platform wine_platform baseclasses shared)
set(TAVREL_LAYER_classlib classlib baseclasses shared)
set(TAVREL_LAYER_media media classlib baseclasses shared)
set(TAVREL_LAYER_process process classlib baseclasses shared)
set(TAVREL_LAYER_app app media process classlib baseclasses shared)

# Folders below a top folder that are layers of their own:
# <folder>|<folder it must not use>.
set(TAVREL_INNER_LAYERS "classlib/runtime|classlib/ui")

# Top folders that are not the product: they may use anything, and no
# product folder uses them. Any other top folder holding a source file is an
# error until the table names it.
set(TAVREL_NOT_PRODUCT tests bench tools cmake build)
