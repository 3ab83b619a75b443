#!/usr/bin/python3
"""Applies one recipe to many photos on Dask workers, one task per photo.

    apply_recipe.py RECIPE OUTPUT_DIR PHOTO... [--scheduler ADDRESS] [--workers N]
                    [--resolution R] [--format png|jpg|webp]

Without --scheduler it starts a local cluster of N worker processes; with one it submits to that
running cluster (a dask-scheduler with dask-worker processes on any number of machines, which all
see the same paths). Each photo is written into OUTPUT_DIR under its own name (in its own format
unless --format), atomically and never over an input, as rux-render's batch does. A photo that fails
is named on stderr and the rest are still written. Exit status: 0 when every picture was written, 1
when any failed, 2 for bad arguments.
"""

import argparse
import os
import sys


def render_one(recipe, photo_path, output_path, resolution):
    """One task: runs on a worker; answers None or the sentence saying why the photo failed."""
    import ruximageeditor as rux

    try:
        photo = rux.open(photo_path)
        rux.save(rux.render(photo, recipe, resolution=resolution), output_path, source=photo)
    except rux.Error as error:
        return str(error)
    return None


def output_path_for(photo, directory, fmt):
    name = os.path.basename(photo)
    if fmt:
        name = os.path.splitext(name)[0] + "." + fmt
    return os.path.join(directory, name)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("recipe")
    parser.add_argument("output_dir")
    parser.add_argument("photos", nargs="+")
    parser.add_argument("--scheduler", help="address of a running dask-scheduler (tcp://host:8786)")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1, help="local worker processes")
    parser.add_argument("--resolution", default="full", choices=["full", "original", "screen", "thumbnail"])
    parser.add_argument("--format", choices=["png", "jpg", "webp"])
    args = parser.parse_args(argv)
    if args.workers < 1:
        parser.error("--workers takes 1 or more")

    import ruximageeditor as rux
    from dask.distributed import Client, LocalCluster, as_completed

    try:
        recipe = rux.Recipe.load(args.recipe)
    except rux.Error as error:
        print(f"apply_recipe: {error}", file=sys.stderr)
        return 2

    # Refused before any work, as rux-render's batch refuses them: a picture that would land on an
    # input, or on another photo's picture.
    inputs = {os.path.realpath(p) for p in args.photos}
    writers = {}
    tasks, failures = [], 0
    for photo in args.photos:
        output = output_path_for(photo, args.output_dir, args.format)
        real = os.path.realpath(output)
        if real in inputs:
            print(f"apply_recipe: {photo}: its picture would be written over an input ({output})", file=sys.stderr)
            failures += 1
        elif real in writers:
            print(f"apply_recipe: {photo}: its picture {output} is also that of {writers[real]}", file=sys.stderr)
            failures += 1
        else:
            writers[real] = photo
            tasks.append((photo, output))

    cluster = None
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        # One thread per worker process: each render then has the process's cores to itself.
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        futures = {client.submit(render_one, recipe, os.path.abspath(photo), os.path.abspath(output),
                                 args.resolution, pure=False): photo for photo, output in tasks}
        for future in as_completed(futures):
            photo = futures[future]
            try:
                why = future.result()
            except Exception as error:  # a worker lost, or the module missing on it
                why = f"the task failed: {error}"
            if why:
                print(f"apply_recipe: {photo}: {why}", file=sys.stderr)
                failures += 1
    finally:
        client.close()
        if cluster:
            cluster.close()
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
