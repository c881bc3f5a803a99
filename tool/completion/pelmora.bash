# bash completion for pelmora: commands, each command's options, and file
# names of the kind an option or argument takes.
_pelmora() {
  local cur prev words cword
  _init_completion || return
  local commands="export import inspect convert templates preview formats"
  local command=""
  local i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      -*) ;;
      *) command=${words[i]}; break ;;
    esac
  done
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  case $prev in
    --host-dir | --output-dir | --textures) _filedir -d; return ;;
    --mode) COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur")); return ;;
    --model-up) COMPREPLY=($(compgen -W "auto y z" -- "$cur")); return ;;
    --code-page) COMPREPLY=($(compgen -W "1252 932 65001" -- "$cur")); return ;;
    --format) COMPREPLY=($(compgen -W "glb gltf obj ply stl qmx" -- "$cur")); return ;;
    --module) _filedir 'so|dll'; return ;;
    --preview | --lux) _filedir png; return ;;
    --drawing) _filedir json; return ;;
    -j | --jobs | --model-unit | --import-time | --import-memory | --size | --exposure | --light-scale | --probe-point | \
      --probe) return ;;
    -o | --output)
      case $command in
        import) _filedir json ;;
        preview) _filedir png ;;
        *) _filedir qmx ;;
      esac
      return
      ;;
  esac
  local options
  case $command in
    export)
      options="-o --output --output-dir -j --jobs --mode --host-dir --force --dry-run --json -q --quiet
               --model-unit --model-up --import-time --import-memory --module --preview --help" ;;
    import) options="-o --output --force --model-unit --model-up --import-time --import-memory --help" ;;
    inspect) options="--json --geometry --raw --no-decode --code-page --help" ;;
    convert) options="--format --textures --light-scale --ascii --binary --code-page --force --help" ;;
    templates) options="--host-dir --drawing --json --help" ;;
    preview) options="-o --output --size --lights --edges --force --lit --exposure --light-scale --lux --probe-point
                      --probe --textures --code-page --json --help" ;;
    *) options="--help" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case $command in
    export | import) _filedir ;;
    inspect | convert | preview) _filedir 'qmx|glb|gltf|obj|ply|stl' ;;
  esac
}
complete -F _pelmora pelmora
